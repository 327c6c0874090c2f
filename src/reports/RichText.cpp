#include "RichText.h"

#include <QStack>

namespace {

struct Style
{
    bool bold;
    double pointSize;
    Qt::Alignment alignment;
};

class Parser
{
public:
    Parser(const QString &text, const Style &base) : m_text(text), m_style(base) {}

    QList<RichParagraph> run()
    {
        startParagraph();
        qsizetype i = 0;
        while (i < m_text.size()) {
            const QChar c = m_text.at(i);
            if (c == QLatin1Char('{')) {
                flush();
                m_stack.push(m_style);
                ++i;
            } else if (c == QLatin1Char('}')) {
                flush();
                if (!m_stack.isEmpty())
                    m_style = m_stack.pop();
                ++i;
            } else if (c == QLatin1Char('\\')) {
                i = controlWord(i + 1);
            } else {
                m_pending.append(c);
                ++i;
            }
        }
        flush();
        // Text after the last "\par" makes a paragraph only when there is some.
        if (m_paragraphs.size() > 1 && m_paragraphs.last().runs.isEmpty())
            m_paragraphs.removeLast();
        return m_paragraphs;
    }

private:
    qsizetype controlWord(qsizetype i)
    {
        if (i >= m_text.size())
            return i;
        const QChar first = m_text.at(i);
        if (!first.isLetter()) {
            // An escaped character: "\\", "\{", "\}".
            m_pending.append(first);
            return i + 1;
        }
        qsizetype end = i;
        while (end < m_text.size() && m_text.at(end).isLetter() && m_text.at(end).unicode() < 128)
            ++end;
        const QString word = m_text.mid(i, end - i);
        qsizetype numberStart = end;
        if (end < m_text.size() && m_text.at(end) == QLatin1Char('-'))
            ++end;
        while (end < m_text.size() && m_text.at(end).isDigit())
            ++end;
        bool hasNumber = false;
        const int number = m_text.mid(numberStart, end - numberStart).toInt(&hasNumber);
        if (end < m_text.size() && m_text.at(end) == QLatin1Char(' '))
            ++end;

        if (word == QLatin1String("b")) {
            flush();
            m_style.bold = !hasNumber || number != 0;
        } else if (word == QLatin1String("fs") && hasNumber && number > 0) {
            flush();
            m_style.pointSize = number / 2.0;
        } else if (word == QLatin1String("qc") || word == QLatin1String("ql") || word == QLatin1String("qr")) {
            const Qt::Alignment a = word == QLatin1String("qc")   ? Qt::AlignHCenter
                                    : word == QLatin1String("qr") ? Qt::AlignRight
                                                                  : Qt::AlignLeft;
            m_style.alignment = a;
            m_paragraphs.last().alignment = a;
        } else if (word == QLatin1String("par")) {
            flush();
            startParagraph();
        } else if (word == QLatin1String("tab")) {
            m_pending.append(QLatin1Char('\t'));
        }
        return end;
    }

    void startParagraph()
    {
        RichParagraph p;
        p.alignment = m_style.alignment;
        m_paragraphs.append(p);
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        QList<TextRun> &runs = m_paragraphs.last().runs;
        if (!runs.isEmpty() && runs.last().bold == m_style.bold && runs.last().pointSize == m_style.pointSize)
            runs.last().text += m_pending;
        else
            runs.append({m_pending, m_style.bold, m_style.pointSize});
        m_pending.clear();
    }

    const QString &m_text;
    Style m_style;
    QStack<Style> m_stack;
    QString m_pending;
    QList<RichParagraph> m_paragraphs;
};

} // namespace

QList<RichParagraph> ParseRichText(const QString &text, bool bold, double pointSize, Qt::Alignment alignment)
{
    return Parser(text, Style{bold, pointSize, alignment}).run();
}

QString EscapeRichText(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}'))
            escaped.append(QLatin1Char('\\'));
        escaped.append(c);
    }
    return escaped;
}
