#pragma once

#include "reports/ClassSynthesis.h"

#include <QLocale>

// Synthesis inputs made by code: `pupils` pupils of the level with every
// category and profile filled, the class row with averages.
inline SynthesisInput MakeSynthesisInput(int level, int pupils, const QString &className = QStringLiteral("CP B"))
{
    SynthesisInput input;
    input.className = className;
    input.schoolYear = QStringLiteral("2026-2027");
    input.programTitle = QStringLiteral("Rozodivo Velorin - v1.0.0");
    input.printedAt = QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5));
    input.level = level;
    input.locale = QLocale(QLocale::French, QLocale::France);
    const QStringList suffixes = {QStringLiteral("L"), QStringLiteral("PG"), QStringLiteral("RM"),
                                  QStringLiteral("CT")};
    for (int p = 0; p < pupils; ++p) {
        QVariantMap pupil;
        pupil.insert(QStringLiteral("NOM"), QStringLiteral("ÉLÈVE %1 Dupont").arg(p + 1, 2, 10, QLatin1Char('0')));
        for (int t = 1; t <= 3; ++t)
            for (int e = 1; e <= 3; ++e)
                pupil.insert(QStringLiteral("T%1_E%2CAT").arg(t).arg(e), 1 + (p + t + e) % 4);
        for (const QString &s : suffixes)
            pupil.insert(QStringLiteral("PROFIL_") + s, p % 3 ? QStringLiteral("A") : QStringLiteral("F"));
        input.pupils.append(pupil);
    }
    input.classRecord.insert(QStringLiteral("LIBELLE"), className);
    for (int t = 1; t <= 3; ++t)
        for (int e = 1; e <= 3; ++e)
            input.classRecord.insert(QStringLiteral("T%1_E%2CAT").arg(t).arg(e), 2.5);
    for (const QString &s : suffixes)
        input.classRecord.insert(QStringLiteral("PROFIL_") + s, QStringLiteral("A"));
    return input;
}
