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
#include <future>
#include <memory>
#include <thread>

#include <jpeglib.h>

#include <unordered_map>

namespace orbelle {

namespace {

// The picture keeps the proportions of the diagram window as the table windows sit in it:
// content coordinates are taken from a client area whose top-left corner is here.
constexpr int kOriginX = 105, kOriginY = 143;

struct Frame {
    int shiftY = 0;
    long long right = 0, bottom = 0;  // 0.01 mm
};

Frame frameOf(const std::vector<PictureTable>& tables) {
    Frame f;
    if (tables.empty()) return f;
    long long top = LLONG_MAX, bottom = LLONG_MIN, right = LLONG_MIN;
    for (const PictureTable& t : tables) {
        const long long l = static_cast<long long>(t.box.x) + kOriginX, tp = static_cast<long long>(t.box.y) + kOriginY;
        top = std::min(top, tp);
        bottom = std::max(bottom, tp + t.box.height);
        right = std::max(right, l + t.box.width);
    }
    f.shiftY = top < 0 ? static_cast<int>(-top) + 60 : 0;
    f.right = std::max(0LL, right) * 50;
    f.bottom = std::max(0LL, f.shiftY > 0 ? bottom + f.shiftY - 40 : bottom) * 50;
    return f;
}

QColor colour(const Rgb& c) { return QColor(c.red, c.green, c.blue); }

// Geometry of one table in the picture.
struct Placed {
    const PictureTable* table;
    int x0, y0, w, h;
    int visibleRows;
    QString caption;            // as it fits the title bar
    std::vector<QString> rows;  // the visible rows as they fit the box
    int left() const { return x0 - 90; }
    int right() const { return x0 + w - 90; }
    int top() const { return y0 - 90; }
    // Top of the 1-based row k.
    int rowTop(int k) const { return k == 1 ? y0 - 85 : y0 + 27 * k - 117; }
};

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

QSize pictureSize(const std::vector<PictureTable>& tables) {
    const Frame f = frameOf(tables);
    return QSize(static_cast<int>((f.right + 50) / 27), static_cast<int>((f.bottom + 50) / 35));
}

QSize jpegSize(QSize picture) {
    const int w = std::max(1, picture.width()), h = std::max(1, picture.height());
    if (w <= kJpegLimit && h <= kJpegLimit) return QSize(w, h);
    const double scale = std::min(static_cast<double>(kJpegLimit) / w, static_cast<double>(kJpegLimit) / h);
    return QSize(std::clamp(static_cast<int>(w * scale), 1, kJpegLimit), std::clamp(static_cast<int>(h * scale), 1, kJpegLimit));
}

namespace {

// The picture's content, laid out once and drawn into any band of rows.
class Scene {
public:
    Scene(const Settings& s, const std::string& title, const std::vector<PictureTable>& tables,
          const std::vector<Relation>& relations)
        : s_(s), title_(QString::fromStdString(title)), frame_(frameOf(tables)), size_(pictureSize(tables)),
          titleFont_(qtFont(s.titleFont, 2, s.titleFont.underline)), captionFont_(qtFont(s.tableTitleFont, 2, false)),
          columnFont_(qtFont(s.tableFont, 3, false)), columnHeight_(s.tableFont.pixelHeight(3)),
          captionAscent_(QFontMetrics(captionFont_).ascent()), columnAscent_(QFontMetrics(columnFont_).ascent()) {
        const QFontMetrics captionMetrics(captionFont_), columnMetrics(columnFont_);
        placed_.reserve(tables.size());
        std::unordered_map<std::string, std::size_t> byName;
        for (const PictureTable& t : tables) {
            // Scaled by 1.15 in whole numbers, so that no rounding of the factor moves a box by a
            // pixel, and the boxes keep the gaps the screen shows.
            Placed g{&t,
                     static_cast<int>((static_cast<long long>(t.box.x) + kOriginX) * 115 / 100),
                     static_cast<int>((static_cast<long long>(t.box.y) + kOriginY + frame_.shiftY) * 115 / 100),
                     static_cast<int>(static_cast<long long>(t.clientWidth) * 115 / 100),
                     static_cast<int>(static_cast<long long>(t.clientHeight) * 115 / 100),
                     0, {}, {}};
            g.visibleRows = std::max(0, std::min(static_cast<int>(t.rows.size()), g.h / 23 - 1));
            // Texts are fitted once for every band and target.
            g.caption = fitText(QString::fromStdString(t.name), captionMetrics, g.w - 2);
            for (int k = 0; k < g.visibleRows; ++k)
                g.rows.push_back(fitText(QString::fromStdString(t.rows[static_cast<std::size_t>(k)]), columnMetrics, g.w - 4));
            byName.emplace(t.name, placed_.size());
            placed_.push_back(g);
        }
        for (const Relation& r : relations) {
            auto pi = byName.find(r.primaryTable), fi = byName.find(r.foreignTable);
            if (pi == byName.end() || fi == byName.end()) continue;
            lines_.push_back(connector(placed_[pi->second], placed_[fi->second], r, pi->second == fi->second));
        }
    }

    QSize size() const { return size_; }

    // Draws what meets the rows [top, top + height) of the picture; the painter's origin is the
    // picture's.
    void draw(QPainter& p, int top, int height) const {
        const int bottom = top + height;
        p.setRenderHint(QPainter::TextAntialiasing, true);
        if (top < 60) {
            p.setFont(titleFont_);
            p.setPen(colour(s_.heading));
            p.drawText(QPoint(static_cast<int>(frame_.right / 100), 20 + QFontMetrics(titleFont_).ascent()), title_);
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
            for (std::size_t i = 1; i < l.points.size(); ++i) add(l.points[i - 1], l.points[i]);
            for (std::size_t i = 1; i < l.head.size(); ++i) add(l.head[i - 1], l.head[i]);
        }
        p.setPen(QPen(colour(s_.line), 1));
        p.setBrush(Qt::NoBrush);
        for (const QPointF offset : {QPointF(0, 0), QPointF(1, 0), QPointF(0, 1)}) {
            p.translate(offset);
            p.drawLines(pieces.data(), static_cast<int>(pieces.size()));
            p.translate(-offset);
        }
        const QPen border(colour(s_.tableBorder), 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        for (const Placed& g : placed_) {
            if (g.y0 + g.h - 88 < top || g.y0 - 120 > bottom) continue;
            p.setPen(border);
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(QPoint(g.x0 - 91, g.y0 - 91), QPoint(g.x0 + g.w - 90, g.y0 + g.h - 90)));
            p.fillRect(QRect(QPoint(g.x0 - 90, g.y0 - 90), QPoint(g.x0 + g.w - 91, g.y0 + g.h - 91)), colour(s_.tableBack));
            p.drawRect(QRect(QPoint(g.x0 - 91, g.y0 - 118), QPoint(g.x0 + g.w - 90, g.y0 - 90)));
            p.fillRect(QRect(QPoint(g.x0 - 90, g.y0 - 117), QPoint(g.x0 + g.w - 91, g.y0 - 91)),
                       colour(s_.tableTitleBack));

            p.setFont(captionFont_);
            p.setPen(colour(s_.tableTitleText));
            p.drawText(QPoint(g.x0 - 89, g.y0 - 115 + captionAscent_), g.caption);

            p.setFont(columnFont_);
            p.setPen(colour(s_.tableText));
            for (int k = 1; k <= g.visibleRows; ++k) {
                if (g.rowTop(k) > bottom || g.rowTop(k) + columnHeight_ < top) continue;
                p.drawText(QPoint(g.x0 - 88, g.rowTop(k) + columnAscent_), g.rows[static_cast<std::size_t>(k - 1)]);
            }
        }
    }

private:
    struct Line {
        std::vector<QPoint> points, head;
        int top = 0, bottom = 0;
    };

    Line connector(const Placed& P, const Placed& F, const Relation& r, bool self) const {
        Line l;
        if (self) {
            l.points = {{P.left(), P.y0 - 70}, {P.left() - 20, P.y0 - 70}, {P.left() - 20, P.y0 - 50}, {P.left(), P.y0 - 50}};
        } else {
            bool pv = false, fv = false;
            const int py = rowY(P, r.primaryColumn, pv), fy = rowY(F, r.foreignColumn, fv);
            const bool primaryLeftEdge = P.x0 >= F.x0;
            const int px = primaryLeftEdge ? P.left() : P.right();
            const int fx = primaryLeftEdge ? F.right() : F.left();
            const int dir = primaryLeftEdge ? -1 : 1;  // outwards from the primary edge
            l.points = {{px, py}, {px + dir * 20, py}, {fx - dir * 20, fy}, {fx, fy}};
            if (pv && fv) l.head = {{px, py}, {px + dir * 10, py - 5}, {px + dir * 10, py + 5}, {px, py}};
        }
        l.top = l.bottom = l.points.front().y();
        for (const QPoint& q : l.points) l.top = std::min(l.top, q.y() - 5), l.bottom = std::max(l.bottom, q.y() + 5);
        return l;
    }

    // Middle of the column's row, or the box's top edge when the row is not drawn.
    int rowY(const Placed& g, const std::string& column, bool& visible) const {
        const auto& rows = g.table->rows;
        auto it = std::find(rows.begin(), rows.end(), column);
        const int index = static_cast<int>(it - rows.begin());
        visible = it != rows.end() && index < g.visibleRows;
        return visible ? g.rowTop(index + 1) + columnHeight_ / 2 : g.top();
    }

    const Settings& s_;
    QString title_;
    Frame frame_;
    QSize size_;
    QFont titleFont_, captionFont_, columnFont_;
    int columnHeight_, captionAscent_, columnAscent_;
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

bool jpegStart(jpeg_compress_struct* c, unsigned char** out, unsigned long* outSize, int width, int height, int quality,
               bool restarts) {
    auto* e = reinterpret_cast<JpegError*>(c->err);
    if (setjmp(e->jump)) return false;
    jpeg_mem_dest(c, out, outSize);
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

// One JPEG being written from bands of rows.
class JpegStream {
public:
    JpegStream(int width, int height, int quality, bool restarts) {
        c_.err = jpeg_std_error(&error_.manager);
        error_.manager.error_exit = onJpegError;
        error_.message[0] = '\0';
        jpeg_create_compress(&c_);
        // Room for the whole file from the start (a quarter of the pixels' bytes; pages never
        // written cost nothing): growing by doubling copies and faults it in again and again.
        if (width > 0 && height > 0) {
            size_ = static_cast<unsigned long>(width) * static_cast<unsigned long>(height) * 3 / 4 + 65536;
            first_ = out_ = static_cast<unsigned char*>(std::malloc(size_));
            if (!out_) size_ = 0;
        }
        ok_ = width > 0 && height > 0 && width <= JPEG_MAX_DIMENSION && height <= JPEG_MAX_DIMENSION &&
              jpegStart(&c_, &out_, &size_, width, height, std::clamp(quality, 0, 100), restarts);
        if (!ok_ && !error_.message[0]) std::snprintf(error_.message, sizeof error_.message, "%dx%d pixels cannot be a JPEG picture", width, height);
    }
    ~JpegStream() {
        jpeg_destroy_compress(&c_);
        if (out_ != first_) std::free(out_);  // libjpeg's own larger buffer
        std::free(first_);
    }
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
    std::string_view bytes() const { return {reinterpret_cast<const char*>(out_), size_}; }
    std::string error() const { return error_.message; }

private:
    jpeg_compress_struct c_{};
    JpegError error_{};
    unsigned char* out_ = nullptr;
    unsigned char* first_ = nullptr;
    unsigned long size_ = 0;
    bool ok_ = false;
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

// Where the scan of one of our own JPEG pictures starts and ends (before its end marker), and
// where its height is stored; false for anything else.
struct ScanParts {
    std::size_t heightAt = 0, scanStart = 0, scanEnd = 0;
};
bool scanParts(std::string_view j, ScanParts& out) {
    auto byte = [&j](std::size_t i) { return static_cast<unsigned char>(j[i]); };
    if (j.size() < 4 || byte(j.size() - 2) != 0xFF || byte(j.size() - 1) != 0xD9) return false;
    for (std::size_t i = 2; i + 4 <= j.size();) {
        if (byte(i) != 0xFF) return false;
        const std::size_t length = static_cast<std::size_t>(byte(i + 2)) << 8 | byte(i + 3);
        if (byte(i + 1) == 0xC0) out.heightAt = i + 5;
        if (byte(i + 1) == 0xDA) {
            out.scanStart = i + 2 + length;
            out.scanEnd = j.size() - 2;
            return out.heightAt != 0 && out.scanStart <= out.scanEnd;
        }
        i += 2 + length;
    }
    return false;
}

}  // namespace

bool joinJpegStripes(const std::vector<std::string_view>& stripes, int height, std::string& out) {
    out.clear();
    std::vector<ScanParts> parts(stripes.size());
    std::size_t total = 2;
    for (std::size_t i = 0; i < stripes.size(); ++i) {
        if (!scanParts(stripes[i], parts[i])) return false;
        total += parts[i].scanEnd - (i == 0 ? 0 : parts[i].scanStart) + 2;
    }
    if (stripes.empty()) return false;
    out.reserve(total);
    out.append(stripes[0].substr(0, parts[0].scanEnd));
    out[parts[0].heightAt] = static_cast<char>(height >> 8 & 0xFF);
    out[parts[0].heightAt + 1] = static_cast<char>(height & 0xFF);
    // Restart markers count 0 to 7 over the rows of blocks of the whole picture; each stripe
    // counted from 0 and ended without one.
    int marker = 0;
    for (std::size_t i = 0; i < stripes.size(); ++i) {
        const std::string_view scan = stripes[i].substr(parts[i].scanStart, parts[i].scanEnd - parts[i].scanStart);
        if (i > 0) {
            out += static_cast<char>(0xFF);
            out += static_cast<char>(0xD0 + marker);
            marker = (marker + 1) & 7;
            std::size_t from = 0;
            for (std::size_t k = 0; k + 1 < scan.size(); ++k) {
                const auto b = static_cast<unsigned char>(scan[k + 1]);
                if (static_cast<unsigned char>(scan[k]) != 0xFF || b < 0xD0 || b > 0xD7) continue;
                out.append(scan.substr(from, k + 1 - from));
                out += static_cast<char>(0xD0 + marker);
                marker = (marker + 1) & 7;
                from = k + 2;
                ++k;
            }
            out.append(scan.substr(from));
        } else {
            for (std::size_t k = 0; k + 1 < scan.size(); ++k)
                if (static_cast<unsigned char>(scan[k]) == 0xFF && (static_cast<unsigned char>(scan[k + 1]) & 0xF8) == 0xD0)
                    marker = (marker + 1) & 7;
        }
    }
    out += static_cast<char>(0xFF);
    out += static_cast<char>(0xD9);
    return true;
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
    // own, and the stripes are joined at restart markers.
    const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const int count = std::clamp(size.height() / 1024, 1, threads);
    const int stripeRows = (size.height() / count + kBlockRows - 1) / kBlockRows * kBlockRows;
    const int bandRows = std::clamp((1 << 21) / size.width(), 16, 256);

    struct Stripe {
        std::vector<std::unique_ptr<JpegStream>> streams;  // one per target
        bool memory = true;
    };
    std::vector<Stripe> stripes(static_cast<std::size_t>(count));
    auto draw = [&](int index) {
        Stripe& stripe = stripes[static_cast<std::size_t>(index)];
        const int first = index * stripeRows, end = std::min(size.height(), first + stripeRows);
        for (const JpegTarget& t : targets)
            stripe.streams.push_back(std::make_unique<JpegStream>(size.width(), std::max(1, end - first), t.quality, count > 1));
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
        std::string why, joined;
        std::vector<std::string_view> parts;
        for (const Stripe& stripe : stripes) {
            if (!stripe.memory) why = "memory ran out";
            else if (!stripe.streams[i]->ok()) why = stripe.streams[i]->error();
            parts.push_back(stripe.streams[i]->bytes());
        }
        if (why.empty() && parts.size() > 1 && !joinJpegStripes(parts, size.height(), joined)) why = "its stripes could not be joined";
        if (why.empty() && !files::writeTextFile(targets[i].path, parts.size() > 1 ? std::string_view(joined) : parts[0]))
            why = "the file could not be written";
        if (!why.empty()) {
            errors.push_back("The picture " + targets[i].path + " was not written: " + why + ".");
            ok = false;
        }
    }
    return ok;
}

}  // namespace orbelle
