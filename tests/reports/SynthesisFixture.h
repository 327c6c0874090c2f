#pragma once

#include "reports/ClassSynthesis.h"

// Synthesis inputs made by code: `pupils` pupils of the level ("ÉLÈVE 01
// Dupont"...) with every category and profile filled, the class row with averages of 2.5.
inline SynthesisInput MakeSynthesisInput(int level, int pupils, const QString &className = QStringLiteral("CP B"))
{
    SynthesisInput input;
    input.className = className;
    input.schoolYear = QStringLiteral("2026-2027");
    input.printedAt = QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5));
    input.level = level;
    input.locale = QLocale(QLocale::French, QLocale::France);
    input.classRecord.insert(QStringLiteral("LIBELLE"), className);
    for (int p = 0; p <= pupils; ++p) { // the class's row last
        QVariantMap &row = p < pupils ? input.pupils.emplace_back() : input.classRecord;
        if (p < pupils)
            row.insert(QStringLiteral("NOM"), QStringLiteral("ÉLÈVE %1 Dupont").arg(p + 1, 2, 10, QChar('0')));
        for (int t = 1; t <= 3; ++t)
            for (int e = 1; e <= 3; ++e)
                row.insert(QStringLiteral("T%1_E%2CAT").arg(t).arg(e),
                           p < pupils ? QVariant(1 + (p + t + e) % 4) : QVariant(2.5));
        for (const char *s : {"L", "PG", "RM", "CT"})
            row.insert(QStringLiteral("PROFIL_") + QLatin1String(s), p % 3 || p == pupils ? "A" : "F");
    }
    return input;
}
