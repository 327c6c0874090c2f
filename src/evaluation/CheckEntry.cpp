#include "CheckEntry.h"

#include "EvaluationModel.h"
#include "common/Dialogs.h"

const QString IncompleteSeriesMessage = QStringLiteral("Vous devez remplir la série complète !");

namespace {

const QString Attention = QStringLiteral("ATTENTION");

bool startsWithDigit(const QString &text)
{
    return !text.isEmpty() && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9');
}

int scoredCount(const QStringList &texts)
{
    int count = 0;
    for (const QString &t : texts)
        count += t != NoResult ? 1 : 0;
    return count;
}

} // namespace

QStringList ExerciseTexts(const EntryForm &form, int level, int trimester, int exercise)
{
    QStringList texts;
    const int n = ItemCount(level, trimester, exercise);
    for (int i = 1; i <= n; ++i)
        texts.append(form.boxText(BoxNumber(level, trimester, exercise, i)));
    return texts;
}

void CheckEntry(EntryForm &form, EntryFlags &flags, int box)
{
    const BoxCoordinates c = DecodeBoxNumber(box);
    const int n = ItemCount(c.level, c.trimester, c.exercise);
    if (c.level == 0 || c.item > n)
        return;

    if (!flags.loadingResults) {
        const int max = ItemMax(c.level, c.trimester, c.exercise, c.item);
        QString text = form.boxText(box);
        if (text.size() > 1 && max < 10) {
            // The shortened text is examined by the nested check first; what
            // follows works on whatever the box holds afterwards.
            form.setBoxText(box, text.left(1));
            text = form.boxText(box);
        }
        if (text.isEmpty()) {
            flags.entryPending = true;
            form.focusBox(box);
            return;
        }
        if (text != NoResult && !startsWithDigit(text)) {
            // The reset is examined before the message, so the flag ends as the
            // series of the exercise then stands.
            flags.entryPending = true;
            form.setBoxText(box, NoResult);
            form.dialogs().message(Attention, QStringLiteral("Vous devez saisir une valeur numérique ou le signe _"),
                                   Dialogs::Icon::Warning);
            form.focusBox(box);
            return;
        }
        if (text != NoResult && BoxValue(text) > max) {
            flags.entryPending = true;
            form.setBoxText(box, NoResult);
            form.dialogs().message(Attention, QStringLiteral("Vous devez saisir une valeur entre 0 et %1").arg(max),
                                   Dialogs::Icon::Warning);
            if (form.boxEnabled(box))
                form.focusBox(box);
            return;
        }
        const int count = scoredCount(ExerciseTexts(form, c.level, c.trimester, c.exercise));
        if (count != 0 && count != n) {
            flags.entryPending = true;
            form.setStatusText(IncompleteSeriesMessage);
            return;
        }
    }

    flags.entryPending = false;
    form.setExerciseLabels(
        c.level, c.trimester, c.exercise,
        EvaluateExercise(c.level, c.trimester, c.exercise, ExerciseTexts(form, c.level, c.trimester, c.exercise)));
}

QString RangeHint(int box)
{
    const BoxCoordinates c = DecodeBoxNumber(box);
    return QStringLiteral("Valeur du champ entre 0 et %1").arg(ItemMax(c.level, c.trimester, c.exercise, c.item));
}

int FirstBoxOfIncompleteSeries(const EntryForm &form, int level, int trimester)
{
    for (int e = 1; e <= 3; ++e) {
        const QStringList texts = ExerciseTexts(form, level, trimester, e);
        const int count = scoredCount(texts);
        if (count == 0 || count == texts.size())
            continue;
        const int first = int(texts.indexOf(NoResult));
        return BoxNumber(level, trimester, e, first + 1);
    }
    return 0;
}
