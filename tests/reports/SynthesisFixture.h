#pragma once

#include "reports/ClassSynthesis.h"

// Synthesis inputs made by code: `pupils` pupils of the level ("ÉLÈVE 01
// Dupont"...) with every category and profile filled, the class row with averages.
inline SynthesisInput MakeSynthesisInput(int level, int pupils, const QString &className = QStringLiteral("CP B"))
{
    SynthesisInput input;
    input.className = className;
    input.schoolYear = QStringLiteral("2026-2027");
    input.programTitle = QStringLiteral("Rozodivo Velorin - v1.0.0");
    input.printedAt = QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5));
    input.level = level;
    input.locale = QLocale(QLocale::French, QLocale::France);
    const auto fill = [](QVariantMap &row, const QVariant &profile, const auto &category) {
        for (int t = 1; t <= 3; ++t)
            for (int e = 1; e <= 3; ++e)
                row.insert(QStringLiteral("T%1_E%2CAT").arg(t).arg(e), category(t, e));
        for (const char *s : {"L", "PG", "RM", "CT"})
            row.insert(QStringLiteral("PROFIL_") + QLatin1String(s), profile);
    };
    for (int p = 0; p < pupils; ++p) {
        QVariantMap pupil{{QStringLiteral("NOM"), QStringLiteral("ÉLÈVE %1 Dupont").arg(p + 1, 2, 10, QChar('0'))}};
        fill(pupil, p % 3 ? "A" : "F", [p](int t, int e) { return 1 + (p + t + e) % 4; });
        input.pupils.append(pupil);
    }
    input.classRecord.insert(QStringLiteral("LIBELLE"), className);
    fill(input.classRecord, "A", [](int, int) { return 2.5; });
    return input;
}
