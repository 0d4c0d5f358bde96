// Renders the program's pictures from an icon font into one strip per size: the picture of
// resource n sits in cell n - kFirstResource, kAtlasColumns cells to a row. Run at build time.
//
//   render-icons FONT CODEPOINTS TABLE OUTPUT_DIR
//
// FONT is the icon font, CODEPOINTS its glyph map (lines of "name": hex), TABLE lists the
// pictures (see icons.txt). Writes icons16.png and icons32.png to OUTPUT_DIR.
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>
#include <map>

#include "shell/gui/icon_atlas_layout.h"

namespace {

struct Picture {
    int resource = 0;
    char32_t glyph = 0;
    QColor colour;
    bool overlay = false;
};

std::map<QString, char32_t> read_codepoints(const QString& path) {
    std::map<QString, char32_t> glyphs;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return glyphs;
    const QRegularExpression entry(QStringLiteral("\"([a-z0-9_]+)\"\\s*:\\s*([0-9a-fA-F]+)"));
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QRegularExpressionMatch m = entry.match(in.readLine());
        if (m.hasMatch()) glyphs[m.captured(1)] = m.captured(2).toUInt(nullptr, 16);
    }
    return glyphs;
}

bool read_table(const QString& path, const std::map<QString, char32_t>& glyphs,
                std::vector<Picture>& pictures) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "render-icons: cannot read %s\n", qPrintable(path));
        return false;
    }
    QTextStream in(&file);
    for (int line = 1; !in.atEnd(); ++line) {
        const QString text = in.readLine().trimmed();
        if (text.isEmpty() || text.startsWith(u'#')) continue;
        const QStringList parts = text.split(QRegularExpression(QStringLiteral("\\s+")));
        Picture p;
        bool number_ok = false;
        p.resource = parts.value(0).toInt(&number_ok);
        const auto glyph = glyphs.find(parts.value(1));
        p.colour = QColor(parts.value(2));
        p.overlay = parts.value(3) == QStringLiteral("overlay");
        const int cell = p.resource - ks::gui::atlas::kFirstResource;
        if (!number_ok || cell < 0 || cell >= ks::gui::atlas::kCells || glyph == glyphs.end() ||
            !p.colour.isValid()) {
            std::fprintf(stderr, "render-icons: %s:%d: bad entry \"%s\"\n", qPrintable(path), line,
                         qPrintable(text));
            return false;
        }
        p.glyph = glyph->second;
        pictures.push_back(p);
    }
    return true;
}

void draw_glyph(QPainter& painter, const QFont& base, const QRectF& box, const Picture& p) {
    QFont font = base;
    font.setPixelSize(static_cast<int>(box.height()));
    painter.setFont(font);
    painter.setPen(p.colour);
    painter.drawText(box, Qt::AlignCenter, QString::fromUcs4(&p.glyph, 1));
}

QImage render(const std::vector<Picture>& pictures, const QFont& font, int size) {
    using namespace ks::gui::atlas;
    QImage strip(kColumns * size, kRows * size, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    for (const Picture& p : pictures) {
        const int cell = p.resource - kFirstResource;
        const QRectF box((cell % kColumns) * size, (cell / kColumns) * size, size, size);
        if (!p.overlay) {
            draw_glyph(painter, font, box, p);
            continue;
        }
        // A mark for the lower left corner: the glyph on a white disc, so that it reads over
        // any picture.
        const QRectF corner(box.left(), box.top() + size / 2.0, size / 2.0, size / 2.0);
        painter.setPen(QPen(p.colour, size / 16.0));
        painter.setBrush(Qt::white);
        painter.drawEllipse(corner.adjusted(0.5, 0.5, -0.5, -0.5));
        draw_glyph(painter, font,
                   corner.adjusted(size / 16.0, size / 16.0, -size / 16.0, -size / 16.0), p);
    }
    return strip;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: render-icons FONT CODEPOINTS TABLE OUTPUT_DIR\n");
        return 2;
    }
    const int font_id = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(argv[1]));
    const QStringList families = QFontDatabase::applicationFontFamilies(font_id);
    if (families.isEmpty()) {
        std::fprintf(stderr, "render-icons: cannot load the font %s\n", argv[1]);
        return 1;
    }
    const auto glyphs = read_codepoints(QString::fromLocal8Bit(argv[2]));
    std::vector<Picture> pictures;
    if (glyphs.empty() || !read_table(QString::fromLocal8Bit(argv[3]), glyphs, pictures)) return 1;
    QFont font(families.front());
    font.setStyleStrategy(QFont::PreferAntialias);
    for (int size : {16, 32}) {
        const QString out =
            QString::fromLocal8Bit(argv[4]) + QStringLiteral("/icons%1.png").arg(size);
        if (!render(pictures, font, size).save(out, "PNG")) {
            std::fprintf(stderr, "render-icons: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
