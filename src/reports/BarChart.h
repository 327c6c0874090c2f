#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <Qt>

#include <utility>

// What the page composer draws as a horizontal bar chart: rows of bars
// against one axis, with labels on the left, an axis with labelled ticks
// under the bars and a legend of the styles. Sizes in twips, font sizes in
// points. The composer lays it out like any other block (see
// PageComposer::barChart): the bars' lengths are their values over the
// axis's maximum times the width of the plot.

// How one kind of segment is painted: a fill, hatched lines over it for
// black-and-white prints, the colour of the text printed inside it, and
// what the legend calls it ("" keeps it out of the legend).
struct ChartStyle
{
    QColor fill;
    Qt::BrushStyle hatch = Qt::SolidPattern;
    QColor textColour = Qt::black;
    QString legend;
};

// A piece of a bar: `value` in the axis's units, `text` printed inside it
// (centred; left out when the piece is too narrow to hold it).
struct ChartSegment
{
    double value = 0;
    int style = 0;
    QString text;
};

// One bar: its segments end to end from the axis's origin. `text` is printed
// just after the bar's end; a bar without segments is a gap showing `text`
// at the origin ("_" for a value that is absent).
struct ChartBar
{
    QList<ChartSegment> segments;
    QString text;
};

// A row: its label on the left and its bars one under the other. A title row
// has no bars: its label, in bold, heads the rows that follow.
struct ChartRow
{
    QString label;
    QList<ChartBar> bars;
    bool title = false;
};

struct BarChart
{
    double maximum = 1;                      // the axis's value at the plot's right end
    QList<std::pair<double, QString>> ticks; // values marked under the axis, with their labels
    QString axisTitle;                       // under the tick labels, centred on the plot
    QList<ChartStyle> styles;
    QList<ChartRow> rows;
    double fontSize = 8;
    int labelWidth = 2400; // the labels' column, from the left margin
    int endRoom = 600;     // kept free right of the plot for the texts after the bars
    int barHeight = 150;
    int barGap = 20; // between the bars of one row
    int rowGap = 80; // between rows
};
