#pragma once

#include "BarChart.h"

#include <QList>
#include <QString>

#include <array>

struct SynthesisInput;

// « Répartition des catégories », the third part of the class synthesis: for
// each domain and each of its evaluations, how many of the class's pupils are
// in category 1, 2, 3 and 4, and how many have none.

struct CategoryCount
{
    int slot = 0;                // domain slot 1..4
    QString title;               // the domain's title in the synthesis
    QString field;               // the category field, as the synthesis's columns name it
    std::array<int, 5> counts{}; // categories 1 to 4, then pupils without one
};

// In the synthesis's column order (CE1: PG, RM, CT, ARI). The CE1 reading
// column counts the category the synthesis shows there (the rounded mean of
// the two reading exercises).
QList<CategoryCount> CountCategories(const SynthesisInput &input);

// One stacked bar per evaluation, as long as the class is large: pupils
// without a category, then categories 4 to 1 (the best at the right), each
// count printed in its segment; a legend.
BarChart CategoryDistributionChart(const SynthesisInput &input);
