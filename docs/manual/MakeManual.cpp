// Renders the manual's Markdown source to a PDF at build time: A4 pages in DejaVu Sans, the
// title on a page of its own, pictures scaled to the page width, the program's version under the
// title. Usage: MakeManual <source.md> <output.pdf> <version>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <cstdio>

namespace {

constexpr qreal PageWidthPoints = 595.0 - 2 * 57.0; // A4 less 20 mm margins, in points

// The title and its introduction stand on a page of their own; chapters (first-level
// headings) get room above them. Pictures are read from paths relative to the source's
// folder and scaled down to the text's width when wider.
void Paginate(QTextDocument& document, const QString& folder)
{
    int chapters = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level > 0) {
            QTextCursor cursor(block);
            QTextBlockFormat format = block.blockFormat();
            if (level == 1 && ++chapters > 1)
                format.setTopMargin(24);
            if (level == 1 && chapters == 2)
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            cursor.setBlockFormat(format);
        }
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            QTextImageFormat image = format.toImageFormat();
            const QImage picture(folder + image.name());
            if (picture.isNull()) {
                std::fprintf(stderr, "MakeManual: cannot read the picture %s\n", qPrintable(image.name()));
                continue;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(image.name()), picture);
            const qreal width = std::min<qreal>(picture.width() * 0.75, PageWidthPoints * 0.9);
            image.setWidth(width);
            image.setHeight(width * picture.height() / picture.width());
            QTextCursor cursor(block);
            cursor.setPosition(fragment.fragment().position());
            cursor.setPosition(fragment.fragment().position() + fragment.fragment().length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
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

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setMarkdown(text);
    Paginate(document, QFileInfo(source).absolutePath() + QLatin1Char('/'));

    QPdfWriter writer(QString::fromLocal8Bit(argv[2]));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(57, 57, 57, 57)));
    writer.setTitle(QStringLiteral("Tolvane manual"));
    writer.setCreator(QStringLiteral("Tolvane"));
    document.print(&writer);
    return QFileInfo(QString::fromLocal8Bit(argv[2])).size() > 0 ? 0 : 1;
}
