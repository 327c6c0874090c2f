#pragma once

#include "RecordStore.h"

class MainScreen;
class ReportPrinter;
struct AppContext;

// The commands of the main window's list toolbars: add, modify and delete
// schools, classes and pupils, and the printed pupil list. Each acts on the
// session's selection and ends by refreshing the main window.
class AdministrationCommands
{
public:
    AdministrationCommands(AppContext &context, MainScreen &screen);

    // "Ajouter" (the record dialog for a new record) and "Modifier" (the
    // dialog on the selected record), modal over the main window.
    void add(RecordKind kind);
    void modify(RecordKind kind);
    // Asks twice, then deletes the selected record and what depends on it,
    // all or nothing, and rebuilds the lists.
    void remove(RecordKind kind);
    // "Imprime" of the pupil toolbar: the selected class's pupils.
    void PrintPupilList();

    ReportPrinter *printer() const { return m_printer; }

private:
    void openDialog(RecordKind kind, bool creating);
    bool confirmDeletion(RecordKind kind, const QString &shown);
    QString shownText(RecordKind kind);

    AppContext &m_context;
    MainScreen &m_screen;
    RecordStore m_store;
    ReportPrinter *m_printer;
};
