#include "report/SettingsSheetPdf.h"

#include "core/FileReplacement.h"
#include "core/TimerSchedule.h"

#include <functional>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

namespace miv {

namespace SettingsSheetPdf {
namespace {

using SettingsSheet::Document;
using SettingsSheet::Field;

constexpr int dotsPerInch = 300;
constexpr qreal millimetre = dotsPerInch / 25.4;
constexpr qreal padding = 0.6 * millimetre;
constexpr qreal gap = 3 * millimetre;
// Parts of the page width: the parameter table's and the timer table's columns.
constexpr qreal parameterColumns[] = {0.07, 0.53, 0.18, 0.22};
constexpr qreal timerColumns[] = {0.2, 0.15, 0.2, 0.15};
constexpr qreal signatureColumns[] = {0.18, 0.36, 0.24, 0.22};

// A piece of the page that stays together: its height and how it is drawn
// from a given top. Rows of the parameter table are marked, so that a page
// they continue on gets the headings first.
struct Block
{
    qreal height = 0;
    std::function<void(QPainter &, qreal top)> paint;
    bool parameterRow = false;
};

QFont sheetFont(qreal points, bool bold)
{
    QFont font;
    // Whichever is installed; each has Cyrillic and may be embedded.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    // No ligatures: "ffl" in a file's name stays three letters for whoever
    // copies or searches it (Cyrillic and Latin need no shaping at all).
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

class Sheet
{
public:
    explicit Sheet(QPdfWriter &writer)
        : m_writer(writer),
          m_text(sheetFont(9, false)),
          m_bold(sheetFont(9, true)),
          m_title(sheetFont(14, true))
    {
        m_width = writer.pageLayout().paintRectPixels(dotsPerInch).width();
        m_height = writer.pageLayout().paintRectPixels(dotsPerInch).height();
    }

    void build(const Document &document)
    {
        line(document.title, m_title);
        headerLines(document.header);
        space();
        m_headings = tableRow(SettingsSheet::parameterHeadings(), parameterColumns, m_bold, true);
        m_blocks.append(m_headings);
        for (const SettingsSheet::ParameterLine &row : document.parameters) {
            Block block = tableRow({row.menuNumber(), row.name, row.value, row.range},
                                   parameterColumns, m_text, false);
            block.parameterRow = true;
            m_blocks.append(block);
        }
        if (!document.timer.isEmpty()) {
            space();
            line(SettingsSheet::timerTitle, m_bold);
            timerTable(document.timer);
        }
        space();
        for (const QString &role : document.signatures)
            signature(role);
    }

    void paint()
    {
        const QList<QList<Block>> pages = paginate();
        QPainter painter(&m_writer);
        for (qsizetype page = 0; page < pages.size(); ++page) {
            if (page > 0)
                m_writer.newPage();
            qreal top = 0;
            for (const Block &block : pages[page]) {
                block.paint(painter, top);
                top += block.height;
            }
            painter.setFont(m_text);
            painter.drawText(QRectF(0, m_height - footerHeight(), m_width, footerHeight()),
                             Qt::AlignHCenter | Qt::AlignBottom,
                             QStringLiteral("Страница %1 из %2").arg(page + 1).arg(pages.size()));
        }
    }

private:
    qreal lineHeight(const QFont &font) const { return QFontMetricsF(font, &m_writer).height(); }
    qreal footerHeight() const { return lineHeight(m_text) + gap; }

    qreal wrappedHeight(const QString &text, const QFont &font, qreal width) const
    {
        return QFontMetricsF(font, &m_writer)
                .boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text)
                .height();
    }

    void line(const QString &text, const QFont &font)
    {
        const qreal height = wrappedHeight(text, font, m_width) + padding;
        const qreal width = m_width;
        m_blocks.append({height, [text, font, width, height](QPainter &painter, qreal top) {
                             painter.setFont(font);
                             painter.drawText(QRectF(0, top, width, height), Qt::TextWordWrap,
                                              text);
                         }});
    }

    // Two fields a line, each in half the width.
    void headerLines(const QList<Field> &fields)
    {
        const qreal half = m_width / 2;
        for (qsizetype i = 0; i < fields.size(); i += 2) {
            QStringList texts;
            for (qsizetype j = i; j < std::min(i + 2, fields.size()); ++j)
                texts << fields[j].label + QStringLiteral(": ") + fields[j].value;
            qreal height = 0;
            for (const QString &text : std::as_const(texts))
                height = std::max(height, wrappedHeight(text, m_text, half) + padding);
            const QFont font = m_text;
            m_blocks.append({height, [texts, font, half, height](QPainter &painter, qreal top) {
                                 painter.setFont(font);
                                 for (qsizetype j = 0; j < texts.size(); ++j)
                                     painter.drawText(QRectF(j * half, top, half, height),
                                                      Qt::TextWordWrap, texts[j]);
                             }});
        }
    }

    void space()
    {
        m_blocks.append({gap, [](QPainter &, qreal) {}});
    }

    template<size_t N>
    Block tableRow(const QStringList &cells, const qreal (&parts)[N], const QFont &font,
                   bool centred) const
    {
        QList<QRectF> rects;
        qreal left = 0;
        qreal height = 0;
        for (size_t i = 0; i < N; ++i) {
            const qreal width = parts[i] * m_width;
            rects.append(QRectF(left, 0, width, 0));
            height = std::max(height,
                              wrappedHeight(cells.value(qsizetype(i)), font, width - 2 * padding));
            left += width;
        }
        height += 2 * padding;
        const int flags =
                Qt::TextWordWrap | Qt::AlignVCenter | (centred ? Qt::AlignHCenter : Qt::AlignLeft);
        return {height, [cells, rects, font, height, flags](QPainter &painter, qreal top) {
                    painter.setFont(font);
                    painter.setPen(QPen(Qt::black, 0.2 * millimetre));
                    for (qsizetype i = 0; i < rects.size(); ++i) {
                        const QRectF cell(rects[i].left(), top, rects[i].width(), height);
                        painter.drawRect(cell);
                        painter.drawText(cell.adjusted(padding, padding, -padding, -padding), flags,
                                         cells.value(i));
                    }
                }};
    }

    // The marks beside the switches: seven rows rather than twelve, so that
    // a type-6 sheet keeps to one page.
    void timerTable(const QList<Field> &timer)
    {
        const QList<Field> marks = timer.mid(0, TimerSchedule::markCount);
        const QList<Field> switches = timer.mid(TimerSchedule::markCount);
        for (qsizetype i = 0; i < std::max(marks.size(), switches.size()); ++i) {
            const Field mark = marks.value(i);
            const Field button = switches.value(i);
            m_blocks.append(tableRow({mark.label, mark.value, button.label, button.value},
                                     timerColumns, m_text, false));
        }
    }

    // The role, then a line for each of name, signature and date with its caption under it.
    void signature(const QString &role)
    {
        const qreal textLine = lineHeight(m_text);
        const qreal height = 2 * textLine + gap;
        const qreal width = m_width;
        const QFont text = m_text;
        const QFont bold = m_bold;
        m_blocks.append({height, [role, textLine, width, text, bold](QPainter &painter, qreal top) {
                             const qreal base = top + textLine + gap / 2;
                             painter.setFont(bold);
                             painter.drawText(QPointF(0, base), role + u':');
                             painter.setFont(text);
                             painter.setPen(QPen(Qt::black, 0.2 * millimetre));
                             qreal left = signatureColumns[0] * width;
                             const QStringList parts = SettingsSheet::signatureParts();
                             for (qsizetype i = 0; i < parts.size(); ++i) {
                                 const qreal part = signatureColumns[i + 1] * width;
                                 painter.drawLine(QPointF(left + padding, base),
                                                  QPointF(left + part - 2 * padding, base));
                                 painter.drawText(QRectF(left, base, part, textLine),
                                                  Qt::AlignHCenter | Qt::AlignTop,
                                                  u'(' + parts[i] + u')');
                                 left += part;
                             }
                         }});
    }

    QList<QList<Block>> paginate() const
    {
        const qreal usable = m_height - footerHeight();
        QList<QList<Block>> pages(1);
        qreal used = 0;
        for (const Block &block : m_blocks) {
            if (used > 0 && used + block.height > usable) {
                pages.append(QList<Block>());
                used = 0;
                if (block.parameterRow) {
                    pages.last().append(m_headings);
                    used += m_headings.height;
                }
            }
            pages.last().append(block);
            used += block.height;
        }
        return pages;
    }

    QPdfWriter &m_writer;
    QFont m_text;
    QFont m_bold;
    QFont m_title;
    qreal m_width = 0;
    qreal m_height = 0;
    Block m_headings;
    QList<Block> m_blocks;
};

} // namespace

QByteArray pdf(const Document &document)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(dotsPerInch);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter));
        writer.setTitle(document.title);
        writer.setCreator(QStringLiteral("mivconf"));
        Sheet sheet(writer);
        sheet.build(document);
        sheet.paint();
    }
    return buffer.data();
}

bool write(const QString &path, const Document &document, QString *error)
{
    return replaceFile(path, pdf(document), error);
}

} // namespace SettingsSheetPdf

} // namespace miv
