// Renders the manual's Markdown source to a PDF at build time, laid out as a printed manual: A4
// pages in DejaVu Sans; a title page that ends with the contents (chapters and sections with
// their pages, placed where the source has the line @CONTENTS@); headings, pictures and lines
// ending in a colon kept on one page with the start of what follows them; short tables kept
// whole, long ones repeating their header row; pictures at their size on screen, or smaller to
// fit, centred above their description; the title and the chapter at the head of every page but
// the first, the page number at its foot. Usage: MakeManual <source.md> <output.pdf> <version>
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <cstdio>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr qreal Margin = 57.0; // 20 mm on every side, in points
constexpr qreal CssPixelsPerPoint = 96.0 / 72.0; // lengths in text formats count 96 to the inch
const QString ContentsMark = QStringLiteral("@CONTENTS@");

// One entry of the text's main flow: a paragraph or a table.
struct Item {
    QTextBlock block;
    QTextTable* table = nullptr;
};

std::vector<Item> Items(QTextDocument& document)
{
    std::vector<Item> items;
    for (auto entry = document.rootFrame()->begin(); !entry.atEnd(); ++entry) {
        if (auto* table = qobject_cast<QTextTable*>(entry.currentFrame()))
            items.push_back({{}, table});
        else if (entry.currentBlock().isValid())
            items.push_back({entry.currentBlock(), nullptr});
    }
    return items;
}

bool IsPicture(const QTextBlock& block) { return block.text() == QString(QChar::ObjectReplacementCharacter); }

// Headings, pictures and lines that introduce a list or table belong with what follows them.
bool LeadsIn(const Item& item)
{
    return !item.table && (item.block.blockFormat().headingLevel() > 0 || IsPicture(item.block) ||
                           item.block.text().trimmed().endsWith(u':'));
}

QRectF Bounds(QTextDocument& document, const Item& item)
{
    auto* layout = document.documentLayout();
    return item.table ? layout->frameBoundingRect(item.table) : layout->blockBoundingRect(item.block);
}

// The top and bottom of a table's row.
std::pair<qreal, qreal> RowBounds(QTextDocument& document, QTextTable& table, int row)
{
    auto* layout = document.documentLayout();
    qreal top = 1e12, bottom = 0;
    for (int column = 0; column < table.columns(); ++column) {
        const QTextTableCell cell = table.cellAt(row, column);
        top = std::min(top, layout->blockBoundingRect(cell.firstCursorPosition().block()).top());
        bottom = std::max(bottom, layout->blockBoundingRect(cell.lastCursorPosition().block()).bottom());
    }
    return {top, bottom};
}

// How far down an item must share the page of what leads into it: two lines of a paragraph, a
// short table whole, its header and two rows of a long one.
qreal KeepEnd(QTextDocument& document, const Item& item, qreal pageHeight)
{
    if (item.table) {
        const QRectF table = Bounds(document, item);
        if (table.height() <= pageHeight / 3)
            return table.bottom();
        return RowBounds(document, *item.table, std::min(2, item.table->rows() - 1)).second;
    }
    const QRectF bounds = document.documentLayout()->blockBoundingRect(item.block); // lays it out
    const QTextLayout* lines = item.block.layout();
    if (lines->lineCount() < 2)
        return bounds.bottom();
    return lines->position().y() + lines->lineAt(1).y() + lines->lineAt(1).height();
}

// Lays the whole text out afresh: the layout keeps what it had laid out before a format
// changed further up, and would overlap the old positions with the new.
void Relayout(QTextDocument& document)
{
    document.markContentsDirty(0, document.characterCount());
    document.pageCount();
}

void BreakBefore(QTextDocument& document, const Item& item)
{
    if (item.table) {
        QTextTableFormat format = item.table->format();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        item.table->setFormat(format);
    } else {
        QTextBlockFormat format;
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(item.block).mergeBlockFormat(format);
    }
    Relayout(document);
}

// A row that would be cut at the foot of a page starts the next page instead: the row before
// it gets room below to the page's foot.
void KeepRowsWhole(QTextDocument& document, QTextTable& table, qreal pageHeight)
{
    for (int row = 2; row < table.rows(); ++row) {
        const auto [top, bottom] = RowBounds(document, table, row);
        const int page = static_cast<int>(top / pageHeight);
        if (page == static_cast<int>((bottom - 1) / pageHeight))
            continue;
        const qreal room = ((page + 1) * pageHeight - top + 1) * 96 / document.documentLayout()->paintDevice()->logicalDpiY();
        for (int column = 0; column < table.columns(); ++column) {
            QTextTableCell cell = table.cellAt(row - 1, column);
            QTextTableCellFormat format = cell.format().toTableCellFormat();
            format.setBottomPadding(table.format().cellPadding() + room);
            cell.setFormat(format);
        }
        Relayout(document);
    }
}

// True when a paragraph parted by a page would leave a single line at the page's foot or head.
bool LeavesLineAlone(QTextDocument& document, const Item& item, qreal pageHeight)
{
    if (item.table)
        return false;
    document.documentLayout()->blockBoundingRect(item.block); // lays it out
    const QTextLayout* lines = item.block.layout();
    const auto page = [&](int line) {
        return static_cast<int>((lines->position().y() + lines->lineAt(line).y() + lines->lineAt(line).height() - 1) / pageHeight);
    };
    int before = 0;
    while (before < lines->lineCount() && page(before) == page(0))
        ++before;
    return before < lines->lineCount() && (before < 2 || lines->lineCount() - before < 2);
}

// Moves to the next page whatever would be parted from what it leads into, short tables that
// would be cut and paragraphs that would leave a line alone, in reading order, since each move
// shifts everything after it.
void KeepTogether(QTextDocument& document, qreal pageHeight)
{
    const std::vector<Item> items = Items(document);
    Relayout(document);
    const auto page = [pageHeight](qreal y) { return static_cast<int>(y / pageHeight); };
    for (std::size_t first = 0; first < items.size();) {
        std::size_t last = first;
        while (last < items.size() && LeadsIn(items[last]))
            ++last;
        if (last == items.size())
            break;
        const Item& item = items[last];
        const qreal top = Bounds(document, items[first]).top();
        const qreal bottom = Bounds(document, item).bottom();
        const bool cut = last > first ? page(top) != page(KeepEnd(document, item, pageHeight) - 1)
                         : item.table ? bottom - top <= pageHeight / 3 && page(top) != page(bottom - 1)
                                      : false;
        if ((cut || LeavesLineAlone(document, item, pageHeight)) && top - page(top) * pageHeight > 1)
            BreakBefore(document, items[first]);
        if (item.table)
            KeepRowsWhole(document, *item.table, pageHeight);
        first = last + 1;
    }
}

// Pictures come from paths relative to the source's folder, at their size on screen or smaller
// to fit the page, centred, their description below them in italics.
void PlacePictures(QTextDocument& document, const QString& folder, QSizeF room)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!IsPicture(block))
            continue;
        const QTextFragment fragment = block.begin().fragment();
        QTextImageFormat image = fragment.charFormat().toImageFormat();
        const QImage picture(folder + image.name());
        if (picture.isNull()) {
            std::fprintf(stderr, "MakeManual: cannot read the picture %s\n", qPrintable(image.name()));
            continue;
        }
        document.addResource(QTextDocument::ImageResource, QUrl(image.name()), picture);
        const qreal scale = std::min({1.0, room.width() / picture.width(), room.height() / picture.height()});
        image.setWidth(picture.width() * scale);
        image.setHeight(picture.height() * scale);
        QTextCursor cursor(block);
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(image);
        QTextBlockFormat centred = block.blockFormat();
        centred.setAlignment(Qt::AlignHCenter);
        centred.setBottomMargin(2);
        cursor.setBlockFormat(centred);

        const QString caption = image.stringProperty(QTextFormat::ImageAltText);
        if (caption.isEmpty())
            continue;
        QTextCharFormat italic;
        italic.setFontItalic(true);
        italic.setFontPointSize(9);
        centred.setTopMargin(0);
        centred.setBottomMargin(10);
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.insertBlock(centred, italic);
        cursor.insertText(caption);
        block = cursor.block();
    }
}

// Tables get a shaded header row and a thin rule under each row; a long one repeats its header
// row on every page.
void RuleTables(QTextDocument& document)
{
    for (const Item& item : Items(document)) {
        if (!item.table)
            continue;
        QTextTableFormat format = item.table->format();
        format.setHeaderRowCount(1);
        format.setBorderCollapse(true);
        format.setBorder(0);
        format.setCellSpacing(0);
        format.setCellPadding(3);
        format.setTopMargin(2);
        format.setBottomMargin(8);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        item.table->setFormat(format);
        for (int row = 0; row < item.table->rows(); ++row) {
            for (int column = 0; column < item.table->columns(); ++column) {
                QTextTableCell cell = item.table->cellAt(row, column);
                QTextTableCellFormat ruled = cell.format().toTableCellFormat();
                ruled.setBottomBorder(0.75);
                ruled.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
                ruled.setBottomBorderBrush(QColor(0xAA, 0xAA, 0xAA));
                if (row == 0)
                    ruled.setBackground(QColor(0xEE, 0xEE, 0xEE));
                cell.setFormat(ruled);
            }
        }
    }
}

// The headings after the contents mark, listed in a table in its place, whose page numbers
// FillContents writes once the pages are known. The title page ends with it.
struct Contents {
    QTextTable* table = nullptr;
    std::vector<QTextBlock> headings;
};

Contents ListContents(QTextDocument& document)
{
    Contents contents;
    QTextBlock mark = document.begin();
    while (mark.isValid() && mark.text() != ContentsMark)
        mark = mark.next();
    if (!mark.isValid())
        return contents;
    for (QTextBlock block = mark.next(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 1 || block.blockFormat().headingLevel() == 2)
            contents.headings.push_back(block);
    }
    if (contents.headings.empty())
        return contents;
    QTextBlockFormat breakBefore;
    breakBefore.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(contents.headings.front()).mergeBlockFormat(breakBefore);

    QTextCursor cursor(mark);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    QTextTableFormat format;
    format.setBorder(0);
    format.setCellPadding(1);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 92),
                                      QTextLength(QTextLength::PercentageLength, 8)});
    contents.table = cursor.insertTable(static_cast<int>(contents.headings.size()), 2, format);
    for (int row = 0; row < contents.table->rows(); ++row) {
        const bool chapter = contents.headings[row].blockFormat().headingLevel() == 1;
        QTextCharFormat text;
        text.setFontWeight(chapter ? QFont::Bold : QFont::Normal);
        QTextBlockFormat indent;
        indent.setLeftMargin(chapter ? 0 : 14);
        indent.setTopMargin(chapter && row > 0 ? 4 : 0);
        QTextCursor title = contents.table->cellAt(row, 0).firstCursorPosition();
        title.setBlockFormat(indent);
        title.insertText(contents.headings[row].text(), text);
        QTextCursor number = contents.table->cellAt(row, 1).firstCursorPosition();
        indent.setLeftMargin(0);
        indent.setAlignment(Qt::AlignRight);
        number.setBlockFormat(indent);
        number.insertText(QStringLiteral("00"), text);
    }
    return contents;
}

int PageOf(QTextDocument& document, const QTextBlock& block, qreal pageHeight)
{
    return static_cast<int>(document.documentLayout()->blockBoundingRect(block).top() / pageHeight);
}

void FillContents(QTextDocument& document, const Contents& contents, qreal pageHeight)
{
    for (int row = 0; row < static_cast<int>(contents.headings.size()); ++row) {
        const int page = PageOf(document, contents.headings[row], pageHeight) + 1;
        QTextCursor number = contents.table->cellAt(row, 1).firstCursorPosition();
        number.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        number.insertText(QString::number(page));
    }
}

// The title and the line under it larger; room above every chapter.
void StyleTitleAndChapters(QTextDocument& document)
{
    for (const auto& [block, size, below] : {std::tuple{document.begin(), 30.0, 6.0}, std::tuple{document.begin().next(), 13.0, 40.0}}) {
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat large = block.begin().fragment().charFormat();
        large.clearProperty(QTextFormat::FontSizeAdjustment); // a heading's size would win
        large.setFontPointSize(size);
        cursor.setCharFormat(large);
        QTextBlockFormat room;
        room.setBottomMargin(below);
        cursor.mergeBlockFormat(room);
    }
    QTextBlockFormat room;
    room.setTopMargin(24);
    for (QTextBlock block = document.begin().next(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 1)
            QTextCursor(block).mergeBlockFormat(room);
    }
}

// Each page's text area, then (but on the title page) the title and the chapter above it and
// the page number below it.
void Print(QTextDocument& document, QPdfWriter& writer, const QRectF& body, const QString& title)
{
    Relayout(document);
    // A page's chapter is the one it opens with.
    std::vector<QString> chapters(static_cast<std::size_t>(document.pageCount()));
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() != 1)
            continue;
        const qreal top = document.documentLayout()->blockBoundingRect(block).top() / body.height();
        for (auto page = static_cast<std::size_t>(top + 0.9); page < chapters.size(); ++page)
            chapters[page] = block.text();
    }
    const qreal dots = writer.resolution() / 72.0;
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPointSizeF(8);
    QPainter painter(&writer);
    for (int page = 0; page < document.pageCount(); ++page) {
        if (page > 0)
            writer.newPage();
        painter.save();
        painter.translate(body.left(), body.top() - page * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        // A line moved to the next page starts right at this page's foot, and the last line of
        // this page ends at the next one's head: neither is drawn on the other page.
        context.clip = QRectF(0, page * body.height() + 1, body.width(), body.height() - 2);
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        if (page == 0)
            continue;
        painter.setFont(small);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        const QRectF head(body.left(), body.top() - 26 * dots, body.width(), 14 * dots);
        painter.drawText(head, Qt::AlignLeft | Qt::AlignBottom, title);
        painter.drawText(head, Qt::AlignRight | Qt::AlignBottom, chapters[page]);
        painter.drawLine(QPointF(body.left(), head.bottom() + 3 * dots), QPointF(body.right(), head.bottom() + 3 * dots));
        painter.drawText(QRectF(body.left(), body.bottom() + 16 * dots, body.width(), 14 * dots),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(page + 1));
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // build machines need no display
    QGuiApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: MakeManual <source.md> <output.pdf> <version>\n", stderr);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "MakeManual: cannot read %s\n", argv[1]);
        return 1;
    }
    QString text = QString::fromUtf8(source.readAll());
    text.replace(QStringLiteral("@VERSION@"), QString::fromLocal8Bit(argv[3]));

    QPdfWriter writer(QString::fromLocal8Bit(argv[2]));
    writer.setResolution(300);
    QPageLayout page(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    page.setMode(QPageLayout::FullPageMode);
    writer.setPageLayout(page);
    const qreal dots = writer.resolution() / 72.0;
    const QSizeF paper = page.fullRectPoints().size();
    const QRectF body(Margin * dots, Margin * dots, (paper.width() - 2 * Margin) * dots,
                      (paper.height() - 2 * Margin) * dots);

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setDocumentMargin(0);
    document.setUseDesignMetrics(true);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setMarkdown(text);
    document.setPageSize(body.size());

    const QString title = document.begin().text();
    StyleTitleAndChapters(document);
    const qreal pageWidth = (paper.width() - 2 * Margin) * CssPixelsPerPoint;
    const qreal pageHeight = (paper.height() - 2 * Margin) * CssPixelsPerPoint;
    PlacePictures(document, QFileInfo(source).absolutePath() + QLatin1Char('/'), QSizeF(pageWidth, pageHeight * 0.6));
    RuleTables(document);
    const Contents contents = ListContents(document);
    KeepTogether(document, body.height());
    if (contents.table)
        FillContents(document, contents, body.height());

    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Tolvane"));
    Print(document, writer, body, title);
    return QFileInfo(QString::fromLocal8Bit(argv[2])).size() > 0 ? 0 : 1;
}
