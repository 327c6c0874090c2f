#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Writes the synthesis of every class of a data folder (or of one school) as
// one PDF file per class, after refreshing each pupil's and each class's
// profiles as "Synthèse" does; on demand the pupils' results sheets too.
struct BatchOptions
{
    QString dataFolder;
    QString outputFolder;
    QString school; // empty: every school
    QString programTitle;
    QDateTime now;
    // Take over a folder whose lock looks stale, or is held: the user says no
    // copy of the program works on it any more.
    bool ignoreLock = false;
    // Also the pupils' results sheets of each class, one PDF file per class.
    bool sheets = false;
    // One XLSX workbook of results per school instead of the PDF files.
    bool xlsx = false;
};

struct BatchResult
{
    QStringList written; // full paths, in the order written
    QStringList errors;  // one French line per failure
};

BatchResult WriteClassSyntheses(const BatchOptions &options);
