#include "diagram/DiagramPicture.h"

#include "platform/fs/Paths.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include <jpeglib.h>

#include <fcntl.h>
#include <unistd.h>

#include <unordered_map>

namespace orbelle {

namespace {

QColor colour(const Rgb& c) { return QColor(c.red, c.green, c.blue); }

}  // namespace

QFont qtFont(const FontSpec& spec, int factor, bool underline) {
    QFont f(QString::fromStdString(spec.name));
    f.setPixelSize(std::max(1, spec.pixelHeight(factor)));
    f.setWeight(spec.bold ? QFont::Bold : QFont::DemiBold);
    f.setUnderline(underline);
    return f;
}

QString fitText(const QString& text, const QFontMetrics& metrics, int width) {
    return metrics.elidedText(text, Qt::ElideRight, std::max(0, width));
}

TableLook::TableLook(const Settings& s)
    : titleBack(colour(s.tableTitleBack)), titleText(colour(s.tableTitleText)), text(colour(s.tableText)),
      back(colour(s.tableBack)), border(colour(s.tableBorder)), titleFont(qtFont(s.tableTitleFont, 2, false)),
      font(qtFont(s.tableFont, 2, false)) {
    const QFontMetrics title(titleFont), rows(font);
    titleHeight = title.height() + 4;
    titleAscent = title.ascent();
    rowHeight = std::max(1, rows.height() + 1);
    rowAscent = rows.ascent();
}

QRect TableLook::client(int width, int height) const {
    const int top = kFrame + titleHeight;
    return QRect(kFrame, top, std::max(0, width - 2 * kFrame), std::max(0, height - kFrame - top));
}

QRect TableLook::scrollBar(int width, int height) const {
    const QRect c = client(width, height);
    return QRect(c.right() + 1 - kScrollBar, c.top(), kScrollBar, c.height());
}

QRect TableLook::thumb(int width, int height, int rows, int first) const {
    const QRect track = scrollBar(width, height);
    const int n = std::max(1, rows), visible = visibleRows(height);
    const int length = std::max(8, track.height() * visible / n);
    const int top = track.top() + (track.height() - length) * first / std::max(1, n - visible);
    return QRect(track.left() + 2, top, kScrollBar - 4, length);
}

int TableLook::attachY(int height, int index, int first) const {
    if (index < 0 || index < first) return 0;
    if (index >= first + visibleRows(height)) return height;
    return client(0, height).top() + (index - first) * rowHeight + rowHeight / 2;
}

TableLook::Face TableLook::face(int width, int height, const QString& caption, const QStringList& rows, int first) const {
    Face f;
    f.first = first;
    f.total = static_cast<int>(rows.size());
    f.scrollBar = f.total > visibleRows(height);
    f.caption = fitText(caption, QFontMetrics(titleFont), width - 2 * kFrame - 4);
    const QRect c = client(width, height);
    const int textWidth = c.width() - 4 - (f.scrollBar ? kScrollBar : 0);
    const QFontMetrics metrics(font);
    for (int i = first, y = c.top(); i < f.total && y < c.bottom(); ++i, y += rowHeight)
        f.rows.push_back(fitText(rows[i], metrics, textWidth));
    return f;
}

void TableLook::paint(QPainter& p, int width, int height, const Face& f) const {
    p.fillRect(QRect(0, 0, width, height), border);
    const QRect caption(kFrame, kFrame, std::max(0, width - 2 * kFrame), titleHeight);
    p.fillRect(caption, titleBack);
    const QRect c = client(width, height);
    p.fillRect(c, back);

    p.save();
    p.setClipRect(caption, Qt::IntersectClip);
    p.setFont(titleFont);
    p.setPen(titleText);
    p.drawText(caption.left() + 2, caption.top() + 2 + titleAscent, f.caption);
    p.restore();

    p.save();
    p.setClipRect(c, Qt::IntersectClip);
    p.setFont(font);
    p.setPen(text);
    int y = c.top();
    for (const QString& row : f.rows) {
        p.drawText(c.left() + 2, y + rowAscent, row);
        y += rowHeight;
    }
    if (f.scrollBar) {
        p.fillRect(scrollBar(width, height), QColor(232, 232, 232));
        p.fillRect(thumb(width, height, f.total, f.first), QColor(160, 160, 160));
    }
    p.restore();
}

ConnectorShape connectorShape(const Box& pb, int py, const Box& fb, int fy, bool self) {
    auto arrowHead = [](int tipX, int y, int dir) {
        return std::array<QPoint, 4>{QPoint(tipX, y), QPoint(tipX + dir * 10, y - 5), QPoint(tipX + dir * 10, y + 5), QPoint(tipX, y)};
    };
    ConnectorShape s;
    if (self) {  // a loop on the table's left side, from the key column back into the table
        const int x = pb.x;
        if (py == fy) py = fy + 12;
        s.line = {QPoint(x, fy), QPoint(x - 20, fy), QPoint(x - 20, py), QPoint(x, py)};
        s.head = arrowHead(x - 7, py, -1);
        return s;
    }
    const bool primaryRight = pb.right() < fb.right();
    const int px = primaryRight ? pb.right() : pb.x;
    const int fx = primaryRight ? fb.x : fb.right();
    const int dir = primaryRight ? 1 : -1;  // outwards from the primary table
    s.line = {QPoint(px, py), QPoint(px + dir * 40, py), QPoint(fx - dir * 40, fy), QPoint(fx, fy)};
    s.head = arrowHead(px + dir * 7, py, dir);
    return s;
}

namespace {

// Where the picture's top-left corner lies in the diagram, and its size.
struct Frame {
    int left = 0, top = 0;
    QSize size;
};

Frame frameOf(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables) {
    // Connectors reach 40 pixels beyond a table's side, a loop 20.
    long long left = 0, top = 0, right = 0, bottom = 0;
    for (const PictureTable& t : tables) {
        left = std::min(left, static_cast<long long>(t.box.x) - 40);
        top = std::min(top, static_cast<long long>(t.box.y));
        right = std::max(right, static_cast<long long>(t.box.x) + t.box.width);
        bottom = std::max(bottom, static_cast<long long>(t.box.y) + t.box.height);
    }
    // A diagram that starts at its corner keeps it; one reaching beyond it starts at its tables.
    if (left < 0) left -= kPictureMargin;
    if (top < 0) top -= kPictureMargin;
    const QFontMetrics titleMetrics(qtFont(settings.titleFont, 2, settings.titleFont.underline));
    const long long width = std::max(right - left, static_cast<long long>(titleMetrics.horizontalAdvance(QString::fromStdString(title)))) + kPictureMargin;
    const long long height = std::max(bottom - top, static_cast<long long>(titleMetrics.height())) + kPictureMargin;
    Frame f;
    f.left = static_cast<int>(std::max<long long>(left, INT_MIN));
    f.top = static_cast<int>(std::max<long long>(top, INT_MIN));
    f.size = QSize(static_cast<int>(std::min<long long>(width, INT_MAX)), static_cast<int>(std::min<long long>(height, INT_MAX)));
    return f;
}

}  // namespace

QSize pictureSize(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables) {
    return frameOf(settings, title, tables).size;
}

QSize jpegSize(QSize picture) {
    const int w = std::max(1, picture.width()), h = std::max(1, picture.height());
    if (w <= kJpegLimit && h <= kJpegLimit) return QSize(w, h);
    const double scale = std::min(static_cast<double>(kJpegLimit) / w, static_cast<double>(kJpegLimit) / h);
    return QSize(std::clamp(static_cast<int>(w * scale), 1, kJpegLimit), std::clamp(static_cast<int>(h * scale), 1, kJpegLimit));
}

namespace {

// The picture's content, laid out once and drawn into any band of rows: the window's title
// across the top, then its connectors and table windows as the window draws them.
class Scene {
public:
    Scene(const Settings& s, const std::string& title, const std::vector<PictureTable>& tables,
          const std::vector<Relation>& relations)
        : s_(s), look_(s), title_(QString::fromStdString(title)), titleFont_(qtFont(s.titleFont, 2, s.titleFont.underline)),
          frame_(frameOf(s, title, tables)) {
        placed_.reserve(tables.size());
        std::unordered_map<std::string, std::size_t> byName;
        QStringList rows;
        for (const PictureTable& t : tables) {
            rows.clear();
            for (const std::string& r : t.rows) rows.push_back(QString::fromStdString(r));
            // Texts are fitted once for every band and target.
            Box b = t.box;
            b.x -= frame_.left;
            b.y -= frame_.top;
            placed_.push_back({&t, b, look_.face(b.width, b.height, QString::fromStdString(t.name), rows, 0)});
            byName.emplace(t.name, placed_.size() - 1);
        }
        long long reach = 0;
        for (const Relation& r : relations) {
            auto pi = byName.find(r.primaryTable), fi = byName.find(r.foreignTable);
            if (pi == byName.end() || fi == byName.end()) continue;
            const Placed &P = placed_[pi->second], &F = placed_[fi->second];
            const ConnectorShape c = connectorShape(P.box, attachY(P, r.primaryColumn), F.box, attachY(F, r.foreignColumn),
                                                    pi->second == fi->second);
            Line l{c, c.line.front().y(), c.line.front().y()};
            for (const QPoint& q : c.line) l.top = std::min(l.top, q.y() - 5), l.bottom = std::max(l.bottom, q.y() + 5);
            lines_.push_back(l);
            // A connector leaving a table's right side reaches beyond the rightmost table.
            for (const QPoint& q : c.line) reach = std::max(reach, static_cast<long long>(q.x()) + 2);
        }
        if (reach + kPictureMargin > frame_.size.width())
            frame_.size.setWidth(static_cast<int>(std::min<long long>(reach + kPictureMargin, INT_MAX)));
    }

    QSize size() const { return frame_.size; }

    // Draws what meets the rows [top, top + height) of the picture; the painter's origin is the
    // picture's.
    void draw(QPainter& p, int top, int height) const {
        const int bottom = top + height;
        p.setRenderHint(QPainter::TextAntialiasing, true);
        const QFontMetrics titleMetrics(titleFont_);
        if (top < titleMetrics.height()) {
            p.setFont(titleFont_);
            p.setPen(colour(s_.heading));
            p.drawText(QRect(0, 0, frame_.size.width(), titleMetrics.height()), Qt::AlignHCenter | Qt::AlignTop, title_);
        }
        // Two pixels wide, drawn as one-pixel lines side by side, every piece cut to the band
        // and all of them in one call: a long connector crosses hundreds of bands.
        std::vector<QLineF> pieces;
        const double from = top - 2, to = bottom + 2;
        auto add = [&](QPointF a, QPointF b) {
            if (a.y() > b.y()) std::swap(a, b);
            if (b.y() < from || a.y() > to) return;
            if (a.y() < from) a = a + (b - a) * ((from - a.y()) / (b.y() - a.y()));
            if (b.y() > to) b = a + (b - a) * ((to - a.y()) / (b.y() - a.y()));
            pieces.emplace_back(a, b);
        };
        for (const Line& l : lines_) {
            if (l.bottom + 1 < top || l.top > bottom) continue;
            for (std::size_t i = 1; i < l.shape.line.size(); ++i) add(l.shape.line[i - 1], l.shape.line[i]);
            for (std::size_t i = 1; i < l.shape.head.size(); ++i) add(l.shape.head[i - 1], l.shape.head[i]);
        }
        p.setPen(QPen(colour(s_.line), 1));
        p.setBrush(Qt::NoBrush);
        for (const QPointF offset : {QPointF(0, 0), QPointF(1, 0), QPointF(0, 1)}) {
            p.translate(offset);
            p.drawLines(pieces.data(), static_cast<int>(pieces.size()));
            p.translate(-offset);
        }
        for (const Placed& g : placed_) {
            if (g.box.bottom() < top || g.box.y > bottom) continue;
            p.save();
            p.translate(g.box.x, g.box.y);
            look_.paint(p, g.box.width, g.box.height, g.face);
            p.restore();
        }
    }

private:
    struct Placed {
        const PictureTable* table;
        Box box;  // in the picture
        TableLook::Face face;
    };
    struct Line {
        ConnectorShape shape;
        int top = 0, bottom = 0;
    };

    int attachY(const Placed& g, const std::string& column) const {
        const auto& rows = g.table->rows;
        const auto it = std::find(rows.begin(), rows.end(), column);
        return g.box.y + look_.attachY(g.box.height, it == rows.end() ? -1 : static_cast<int>(it - rows.begin()), 0);
    }

    const Settings& s_;
    TableLook look_;
    QString title_;
    QFont titleFont_;
    Frame frame_;
    std::vector<Placed> placed_;
    std::vector<Line> lines_;
};

// libjpeg reports errors by a jump; these wrappers hold no objects with destructors.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr c) {
    auto* e = reinterpret_cast<JpegError*>(c->err);
    (*c->err->format_message)(c, e->message);
    std::longjmp(e->jump, 1);
}

bool jpegStart(jpeg_compress_struct* c, std::FILE* out, int width, int height, int quality, bool restarts) {
    auto* e = reinterpret_cast<JpegError*>(c->err);
    if (setjmp(e->jump)) return false;
    jpeg_stdio_dest(c, out);
    c->image_width = static_cast<JDIMENSION>(width);
    c->image_height = static_cast<JDIMENSION>(height);
    c->input_components = 4;
    c->in_color_space = JCS_EXT_BGRX;  // QImage::Format_RGB32 in memory
    jpeg_set_defaults(c);
    jpeg_set_quality(c, quality, TRUE);
    c->restart_in_rows = restarts ? 1 : 0;  // a restart marker after every row of blocks
    jpeg_start_compress(c, TRUE);
    return true;
}

[[gnu::noinline]] void writeAllLines(jpeg_compress_struct* c, JSAMPARRAY rows, int count) {
    while (count > 0) {
        const auto done = static_cast<int>(jpeg_write_scanlines(c, rows, static_cast<JDIMENSION>(count)));
        rows += done;
        count -= done;
    }
}

bool jpegLines(jpeg_compress_struct* c, JSAMPARRAY rows, int count) {
    auto* e = reinterpret_cast<JpegError*>(c->err);
    if (setjmp(e->jump)) return false;
    writeAllLines(c, rows, count);
    return true;
}

bool jpegFinish(jpeg_compress_struct* c) {
    auto* e = reinterpret_cast<JpegError*>(c->err);
    if (setjmp(e->jump)) return false;
    jpeg_finish_compress(c);
    return true;
}

// One JPEG being written from bands of rows into a file, as they come.
class JpegStream {
public:
    JpegStream(std::FILE* out, int width, int height, int quality, bool restarts) {
        c_.err = jpeg_std_error(&error_.manager);
        error_.manager.error_exit = onJpegError;
        error_.message[0] = '\0';
        jpeg_create_compress(&c_);
        ok_ = out && width > 0 && height > 0 && width <= JPEG_MAX_DIMENSION && height <= JPEG_MAX_DIMENSION &&
              jpegStart(&c_, out, width, height, std::clamp(quality, 0, 100), restarts);
        if (!ok_ && !error_.message[0]) std::snprintf(error_.message, sizeof error_.message, "%dx%d pixels cannot be a JPEG picture", width, height);
    }
    ~JpegStream() { jpeg_destroy_compress(&c_); }
    JpegStream(const JpegStream&) = delete;
    JpegStream& operator=(const JpegStream&) = delete;

    void write(const QImage& band, int rows) {
        if (!ok_) return;
        std::vector<JSAMPROW> lines(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i) lines[static_cast<std::size_t>(i)] = const_cast<JSAMPROW>(band.constScanLine(i));
        ok_ = jpegLines(&c_, lines.data(), rows);
    }
    bool finish() {
        if (ok_) ok_ = jpegFinish(&c_);
        return ok_;
    }
    bool ok() const { return ok_; }
    std::string error() const { return error_.message; }

private:
    jpeg_compress_struct c_{};
    JpegError error_{};
    bool ok_ = false;
};

// A file without a name in folder (or the system's temporary folder): a stripe of a picture
// until it is copied into the picture.
std::FILE* scratchFile(const std::string& folder) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::string name = files::joinPath(folder.empty() ? "." : folder, files::tempNameFor("stripe"));
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        ::unlink(name.c_str());
        if (std::FILE* f = ::fdopen(fd, "w+b")) return f;
        ::close(fd);
        break;
    }
    return std::tmpfile();
}

// A picture's file while it is written: a temporary beside the target, put in its place when
// whole and removed otherwise.
class StagedFile {
public:
    explicit StagedFile(const std::string& path) : target_(files::resolveWriteTarget(path)) {
        folder_ = files::parentFolder(target_);
        for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
            temp_ = files::joinPath(folder_.empty() ? "." : folder_, files::tempNameFor(files::fileName(target_)));
            const int fd = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd < 0 && errno == EEXIST) continue;
            if (fd < 0) break;
            file_ = ::fdopen(fd, "w+b");
            if (!file_) ::close(fd);
        }
        if (!file_) {
            why_ = std::strerror(errno);
            temp_.clear();
        }
    }
    ~StagedFile() {
        if (file_) std::fclose(file_);
        if (!temp_.empty()) ::unlink(temp_.c_str());
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    std::FILE* file() const { return file_; }
    const std::string& folder() const { return folder_; }
    // Why it could not be made or put in place ("" while all is well).
    const std::string& why() const { return why_; }
    bool commit() {
        const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
        const int err = errno;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!written || !closed) {
            why_ = std::strerror(written ? errno : err);
            return false;
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            why_ = std::strerror(errno);
            return false;
        }
        temp_.clear();
        return true;
    }

private:
    std::string target_, folder_, temp_, why_;
    std::FILE* file_ = nullptr;
};

}  // namespace

QImage renderPicture(const Settings& s, const std::string& title, const std::vector<PictureTable>& tables,
                     const std::vector<Relation>& relations, const Rgb& background) {
    const Scene scene(s, title, tables, relations);
    QImage image(scene.size(), QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(colour(background));
    QPainter p(&image);
    scene.draw(p, 0, image.height());
    return image;
}

namespace {

// Rows of blocks of a picture as libjpeg's defaults sample it (4:2:0).
constexpr int kBlockRows = 16;

// Reads one of our own JPEG pictures from the start of its file to the start of its scan:
// header holds those bytes, heightAt where its height is stored among them; false for
// anything else.
bool readHeader(std::FILE* f, std::string& header, std::size_t& heightAt) {
    header.clear();
    heightAt = 0;
    unsigned char b[4];
    if (std::fread(b, 1, 2, f) != 2 || b[0] != 0xFF || b[1] != 0xD8) return false;
    header.append(reinterpret_cast<const char*>(b), 2);
    for (;;) {
        if (std::fread(b, 1, 4, f) != 4 || b[0] != 0xFF) return false;
        const std::size_t length = static_cast<std::size_t>(b[2]) << 8 | b[3];
        if (length < 2) return false;
        if (b[1] == 0xC0) heightAt = header.size() + 5;
        const std::size_t at = header.size();
        header.append(reinterpret_cast<const char*>(b), 4);
        header.resize(at + 2 + length);
        if (std::fread(header.data() + at + 4, 1, length - 2, f) != length - 2) return false;
        if (b[1] == 0xDA) return heightAt != 0 && heightAt + 1 < header.size();
    }
}

}  // namespace

bool joinJpegStripes(const std::vector<std::FILE*>& stripes, int height, std::FILE* out) {
    if (stripes.empty() || !out) return false;
    // Restart markers count 0 to 7 over the rows of blocks of the whole picture; each stripe
    // counted from 0 and ended without one.
    int marker = 0;
    std::vector<char> in(1 << 20);
    std::string copy;
    copy.reserve(in.size() + in.size() / 8 + 16);
    for (std::size_t i = 0; i < stripes.size(); ++i) {
        std::FILE* f = stripes[i];
        std::string header;
        std::size_t heightAt = 0;
        if (std::fflush(f) != 0 || std::fseek(f, 0, SEEK_END) != 0) return false;
        const long size = std::ftell(f);
        std::rewind(f);
        if (size < 4 || !readHeader(f, header, heightAt)) return false;
        long left = size - std::ftell(f) - 2;  // the scan, without the end marker
        if (left < 0) return false;
        if (i == 0) {
            header[heightAt] = static_cast<char>(height >> 8 & 0xFF);
            header[heightAt + 1] = static_cast<char>(height & 0xFF);
            if (std::fwrite(header.data(), 1, header.size(), out) != header.size()) return false;
        } else {
            const char between[2] = {static_cast<char>(0xFF), static_cast<char>(0xD0 + marker)};
            if (std::fwrite(between, 1, 2, out) != 2) return false;
            marker = (marker + 1) & 7;
        }
        bool afterFF = false;  // the byte before was 0xFF (also across reads)
        while (left > 0) {
            const std::size_t n = std::fread(in.data(), 1, static_cast<std::size_t>(std::min<long>(left, static_cast<long>(in.size()))), f);
            if (n == 0) return false;
            left -= static_cast<long>(n);
            copy.assign(in.data(), n);
            for (char& c : copy) {
                const auto b = static_cast<unsigned char>(c);
                if (afterFF && b >= 0xD0 && b <= 0xD7) {
                    c = static_cast<char>(0xD0 + marker);
                    marker = (marker + 1) & 7;
                    afterFF = false;
                } else {
                    afterFF = b == 0xFF;
                }
            }
            if (std::fwrite(copy.data(), 1, copy.size(), out) != copy.size()) return false;
        }
        unsigned char end[2];
        if (std::fread(end, 1, 2, f) != 2 || end[0] != 0xFF || end[1] != 0xD9) return false;
    }
    const char end[2] = {static_cast<char>(0xFF), static_cast<char>(0xD9)};
    return std::fwrite(end, 1, 2, out) == 2;
}

bool writePictures(const Settings& s, const std::string& title, const std::vector<PictureTable>& tables,
                   const std::vector<Relation>& relations, const std::vector<JpegTarget>& targets,
                   std::vector<std::string>& errors) {
    const Scene scene(s, title, tables, relations);
    const QSize size = jpegSize(scene.size());
    const double scale = size == scene.size() ? 1.0
                                              : std::min(static_cast<double>(size.width()) / scene.size().width(),
                                                         static_cast<double>(size.height()) / scene.size().height());
    // One band per background (a target with the background of the one before it takes the
    // same band).
    std::vector<std::size_t> bandOf(targets.size());
    std::vector<Rgb> backgrounds;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (i == 0 || !(targets[i].background == targets[i - 1].background)) backgrounds.push_back(targets[i].background);
        bandOf[i] = backgrounds.size() - 1;
    }
    // A large picture is drawn and compressed in horizontal stripes, each on a thread of its
    // own into a file of its own, and the stripes are joined at restart markers.
    const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const int count = std::clamp(size.height() / 1024, 1, threads);
    const int stripeRows = (size.height() / count + kBlockRows - 1) / kBlockRows * kBlockRows;
    const int bandRows = std::clamp((1 << 21) / size.width(), 16, 256);

    std::vector<std::unique_ptr<StagedFile>> outputs;
    for (const JpegTarget& t : targets) outputs.push_back(std::make_unique<StagedFile>(t.path));
    struct Stripe {
        std::vector<std::FILE*> files;  // one per target
        std::vector<std::unique_ptr<JpegStream>> streams;
        bool memory = true;
    };
    std::vector<Stripe> stripes(static_cast<std::size_t>(count));
    for (Stripe& stripe : stripes)
        for (const auto& out : outputs)
            stripe.files.push_back(!out->file() ? nullptr : count == 1 ? out->file() : scratchFile(out->folder()));
    auto draw = [&](int index) {
        Stripe& stripe = stripes[static_cast<std::size_t>(index)];
        const int first = index * stripeRows, end = std::min(size.height(), first + stripeRows);
        for (std::size_t i = 0; i < targets.size(); ++i)
            stripe.streams.push_back(std::make_unique<JpegStream>(stripe.files[i], size.width(), std::max(1, end - first),
                                                                  targets[i].quality, count > 1));
        std::vector<QImage> bands;
        for (std::size_t b = 0; b < backgrounds.size(); ++b) {
            bands.emplace_back(size.width(), bandRows, QImage::Format_RGB32);
            if (bands.back().isNull()) stripe.memory = false;
        }
        for (int top = first; stripe.memory && top < end; top += bandRows) {
            const int rows = std::min(bandRows, end - top);
            for (std::size_t b = 0; b < backgrounds.size(); ++b) {
                bands[b].fill(colour(backgrounds[b]));
                QPainter p(&bands[b]);
                p.translate(0, -top);
                p.scale(scale, scale);
                scene.draw(p, static_cast<int>(top / scale), static_cast<int>(std::ceil(rows / scale)) + 1);
            }
            for (std::size_t i = 0; i < targets.size(); ++i) stripe.streams[i]->write(bands[bandOf[i]], rows);
        }
        for (auto& stream : stripe.streams) stream->finish();
    };
    std::vector<std::future<void>> running;
    for (int i = 1; i < count; ++i) running.push_back(std::async(std::launch::async, draw, i));
    draw(0);
    for (auto& r : running) r.wait();

    bool ok = true;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        std::string why = outputs[i]->why();
        std::vector<std::FILE*> parts;
        for (const Stripe& stripe : stripes) {
            if (!why.empty()) break;
            if (!stripe.memory) why = "memory ran out";
            else if (!stripe.files[i]) why = "no room for its stripes";
            else if (!stripe.streams[i]->ok()) why = stripe.streams[i]->error();
            parts.push_back(stripe.files[i]);
        }
        if (why.empty() && count > 1 && !joinJpegStripes(parts, size.height(), outputs[i]->file()))
            why = std::ferror(outputs[i]->file()) ? std::strerror(errno) : "its stripes could not be joined";
        if (why.empty() && !outputs[i]->commit()) why = outputs[i]->why();
        if (!why.empty()) {
            errors.push_back("The picture " + targets[i].path + " was not written: " + why + ".");
            ok = false;
        }
    }
    if (count > 1)
        for (const Stripe& stripe : stripes)
            for (std::FILE* f : stripe.files)
                if (f) std::fclose(f);
    return ok;
}

}  // namespace orbelle
