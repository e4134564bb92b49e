// UIFont, paragraph styles and string drawing over cairo's fonts.
// Characters Liberation Sans lacks are drawn (and measured) with DejaVu Sans,
// Chinese, Japanese and Korean ones with Noto Sans CJK, emoji with Noto Color
// Emoji (fontconfig finds each family by name).
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSDictionary.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <platform/Unicode.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_map>

using namespace platform::support;

namespace platform::text {

namespace {

// The faces text is drawn with, in order of preference: each character is
// drawn with the first that has a glyph for it (the first when none has).
const char* const kFamilies[] = {"Liberation Sans", "DejaVu Sans", "Noto Sans CJK JP", "Noto Color Emoji"};
constexpr size_t kFaceCount = std::size(kFamilies);
// Pictographs (emoji) are drawn in colour by the last face when it has them,
// before any face that has a plain picture of them.
constexpr size_t kEmojiFace = kFaceCount - 1;
bool pictograph(char32_t ch) { return ch >= 0x1F000 && ch <= 0x1FAFF; }

// The faces, made once; and, per character, which of them draws it.
class Faces {
public:
    static Faces& shared() {
        static Faces faces;
        return faces;
    }

    // Metrics are not hinted, so that text measures the same at every scale.
    void select(cairo_t* cr, Face face, size_t index) const {
        cairo_set_font_face(cr, faces_[index][face.bold]);
        cairo_set_font_size(cr, face.size);
        cairo_set_font_options(cr, options_);
    }

    // The index of the face that draws `ch`.
    size_t faceFor(char32_t ch, const char* utf8, size_t length, bool bold) {
        if (ch < 0x80) return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        auto [it, added] = chosen_[bold].try_emplace(ch, 0);
        if (!added) return it->second;
        if (pictograph(ch) && hasGlyph(probes_[kEmojiFace][bold], utf8, length)) {
            it->second = static_cast<uint8_t>(kEmojiFace);
            return it->second;
        }
        for (size_t i = 0; i < kFaceCount; ++i) {
            if (hasGlyph(probes_[i][bold], utf8, length)) {
                it->second = static_cast<uint8_t>(i);
                break;
            }
        }
        return it->second;
    }

private:
    Faces() {
        options_ = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options_, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options_, CAIRO_HINT_STYLE_NONE);
        cairo_matrix_t unit;
        cairo_matrix_init_identity(&unit);
        for (size_t i = 0; i < kFaceCount; ++i)
            for (int bold = 0; bold < 2; ++bold) {
                faces_[i][bold] = cairo_toy_font_face_create(
                    kFamilies[i], CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
                probes_[i][bold] = cairo_scaled_font_create(faces_[i][bold], &unit, &unit, options_);
            }
    }
    ~Faces() {
        for (size_t i = 0; i < kFaceCount; ++i)
            for (int bold = 0; bold < 2; ++bold) {
                cairo_scaled_font_destroy(probes_[i][bold]);
                cairo_font_face_destroy(faces_[i][bold]);
            }
        cairo_font_options_destroy(options_);
    }
    Faces(const Faces&) = delete;
    Faces& operator=(const Faces&) = delete;

    // Glyph 0 is the one a face draws for characters it lacks.
    static bool hasGlyph(cairo_scaled_font_t* font, const char* utf8, size_t length) {
        cairo_glyph_t buffer[2];
        cairo_glyph_t* glyphs = buffer;
        int count = static_cast<int>(std::size(buffer));
        if (cairo_scaled_font_text_to_glyphs(font, 0, 0, utf8, static_cast<int>(length), &glyphs, &count, nullptr,
                                             nullptr, nullptr) != CAIRO_STATUS_SUCCESS)
            return false;
        bool found = count == 1 && glyphs[0].index != 0;
        if (glyphs != buffer) cairo_glyph_free(glyphs);
        return found;
    }

    cairo_font_options_t* options_ = nullptr;
    cairo_font_face_t* faces_[kFaceCount][2] = {};
    cairo_scaled_font_t* probes_[kFaceCount][2] = {};
    std::mutex mutex_;
    std::unordered_map<char32_t, uint8_t> chosen_[2];
};

void selectFace(cairo_t* cr, Face face, size_t index = 0) { Faces::shared().select(cr, face, index); }

// A context for measuring, one per thread.
cairo_t* measuringContext() {
    struct Scratch {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
        cairo_t* cr = cairo_create(surface);
        ~Scratch() {
            cairo_destroy(cr);
            cairo_surface_destroy(surface);
        }
    };
    thread_local Scratch scratch;
    return scratch.cr;
}

// A stretch of text drawn with one face.
struct Run {
    size_t face;
    std::string text;
};

// The runs of `text`: characters the first face lacks go to the one that has
// them.
std::vector<Run> runsOf(Face face, const std::string& text) {
    std::vector<Run> runs;
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        runs.push_back(Run{0, text});
        return runs;
    }
    // Cairo takes only well-formed UTF-8 (anything else puts the context in
    // an error state that ends all drawing in it): a byte a string keeps
    // outside well-formed UTF-8 is drawn as U+FFFD.
    static const std::string replacement = [] {
        std::string r;
        unicode::append(r, unicode::kReplacement);
        return r;
    }();
    Faces& faces = Faces::shared();
    for (size_t i = 0; i < text.size();) {
        size_t n = unicode::sequenceLength(text, i);
        std::string_view character = n == 0 ? std::string_view(replacement) : std::string_view(text).substr(i, n);
        size_t index = 0;  // ASCII
        if (character.size() > 1) {
            size_t at = 0;
            index = faces.faceFor(unicode::decode(character, at), character.data(), character.size(), face.bold);
        }
        if (runs.empty() || runs.back().face != index) runs.push_back(Run{index, {}});
        runs.back().text += character;
        i += std::max<size_t>(n, 1);
    }
    return runs;
}

// Breaks a word wider than `maxWidth` into pieces that fit (at least one
// character each).
std::vector<std::string> splitWord(Face face, const std::string& word, double maxWidth) {
    std::vector<std::string> out;
    std::string chunk;
    for (size_t i = 0; i < word.size();) {
        size_t n = unicode::characterLength(word, i);
        std::string next = chunk + word.substr(i, n);
        if (!chunk.empty() && width(face, next) > maxWidth) {
            out.push_back(chunk);
            chunk = word.substr(i, n);
        } else {
            chunk = next;
        }
        i += n;
    }
    if (!chunk.empty()) out.push_back(chunk);
    return out;
}

void wrapParagraph(Face face, const std::string& text, double maxWidth, std::vector<std::string>& lines) {
    if (maxWidth <= 0 || width(face, text) <= maxWidth) {
        lines.push_back(text);
        return;
    }
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= text.size()) {
        size_t space = text.find(' ', start);
        if (space == std::string::npos) space = text.size();
        if (space > start) words.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    std::string line;
    for (const std::string& word : words) {
        std::string candidate = line.empty() ? word : line + " " + word;
        if (width(face, candidate) <= maxWidth) {
            line = candidate;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line.clear();
        std::vector<std::string> pieces = splitWord(face, word, maxWidth);
        for (size_t i = 0; i + 1 < pieces.size(); ++i) lines.push_back(pieces[i]);
        if (!pieces.empty()) line = pieces.back();
    }
    if (!line.empty() || words.empty()) lines.push_back(line);
}

}  // namespace

Face faceOf(UIFont* font) { return font ? Face{font->_bold, font->_pointSize} : Face{}; }

Metrics metrics(Face face) {
    cairo_t* cr = measuringContext();
    selectFace(cr, face);
    cairo_font_extents_t e;
    cairo_font_extents(cr, &e);
    return Metrics{e.ascent, e.descent, e.height};
}

double width(Face face, const std::string& text) {
    if (text.empty()) return 0;
    cairo_t* cr = measuringContext();
    double advance = 0;
    for (const Run& run : runsOf(face, text)) {
        selectFace(cr, face, run.face);
        cairo_text_extents_t e;
        cairo_text_extents(cr, run.text.c_str(), &e);
        advance += e.x_advance;
    }
    return advance;
}

std::vector<std::string> wrap(Face face, const std::string& text, double maxWidth, long maxLines) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t nl = text.find('\n', start);
        wrapParagraph(face, text.substr(start, nl == std::string::npos ? std::string::npos : nl - start), maxWidth,
                      lines);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    if (maxLines > 0 && lines.size() > static_cast<size_t>(maxLines)) {
        lines.resize(static_cast<size_t>(maxLines));
        std::string& last = lines.back();
        const std::string ellipsis = "\xE2\x80\xA6";
        while (!last.empty() && maxWidth > 0 && width(face, last + ellipsis) > maxWidth) {
            last.erase(unicode::prefixBoundary(last, last.size() - 1));
        }
        last += ellipsis;
    }
    return lines;
}

void drawLines(CGContextRef context, Face face, const std::vector<std::string>& lines, CGRect rect,
               NSInteger alignment, CGColor color) {
    if (context == nullptr || lines.empty()) return;
    cairo_t* cr = context->cr;
    rect = CGRectStandardize(rect);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_clip(cr);
    selectFace(cr, face);
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha * context->state.alpha);
    Metrics m = metrics(face);
    double y = rect.origin.y;
    for (const std::string& line : lines) {
        if (y >= rect.origin.y + rect.size.height) break;
        double w = width(face, line);
        double x = rect.origin.x;
        if (alignment == NSTextAlignmentCenter) x += (rect.size.width - w) / 2;
        else if (alignment == NSTextAlignmentRight) x += rect.size.width - w;
        cairo_move_to(cr, x, y + m.ascent);
        for (const Run& run : runsOf(face, line)) {
            selectFace(cr, face, run.face);
            cairo_show_text(cr, run.text.c_str());  // moves the point on by its advance
        }
        y += m.lineHeight;
    }
    cairo_restore(cr);
}

}  // namespace platform::text

namespace {

using platform::text::Face;

// The font names the stand-in knows, and whether each is bold.
const std::map<std::string, bool>& knownFonts() {
    static const std::map<std::string, bool> fonts{
        {"Helvetica", false},      {"Helvetica-Bold", true}, {"HelveticaNeue", false},
        {"HelveticaNeue-Bold", true}, {"Arial", false},     {"Arial-BoldMT", true},
        {"LiberationSans", false}, {"LiberationSans-Bold", true}};
    return fonts;
}

namespace font {

id make(objc_class* cls, const std::string& name, bool bold, double size) {
    auto* f = objectAs<UIFont>(objc_autorelease(newObject(cls)));
    if (f == nullptr) return nil;
    f->_fontName = name;
    f->_bold = bold;
    f->_pointSize = std::isfinite(size) && size > 0 ? size : 12;
    return f;
}

id systemFontOfSize(objc_class* cls, SEL, double size) { return make(cls, ".SFUIText", false, size); }
id boldSystemFontOfSize(objc_class* cls, SEL, double size) { return make(cls, ".SFUIText-Bold", true, size); }

id fontWithNameSize(objc_class* cls, SEL, id name, double size) {
    auto* str = objectAs<NSString>(name);
    if (str == nullptr) return nil;
    auto it = knownFonts().find(str->str());
    if (it == knownFonts().end()) return nil;
    return make(cls, it->first, it->second, size);
}

id fontWithSize(UIFont* self, SEL, double size) { return make(object_getClass(self), self->_fontName, self->_bold, size); }
id fontName(UIFont* self, SEL) { return NSString::make(self->_fontName); }
id familyName(UIFont* self, SEL) {
    std::string name = self->_fontName;
    return NSString::make(name.substr(0, name.find('-')));
}
double pointSize(UIFont* self, SEL) { return self->_pointSize; }
double lineHeight(UIFont* self, SEL) { return platform::text::metrics(platform::text::faceOf(self)).lineHeight; }
double ascender(UIFont* self, SEL) { return platform::text::metrics(platform::text::faceOf(self)).ascent; }
double descender(UIFont* self, SEL) { return -platform::text::metrics(platform::text::faceOf(self)).descent; }

}  // namespace font

namespace paragraph {

id defaultParagraphStyle(objc_class* cls, SEL) { return objc_autorelease(newObject(cls)); }
NSInteger alignment(NSParagraphStyle* self, SEL) { return self->_alignment; }
void setAlignment(NSParagraphStyle* self, SEL, NSInteger a) { self->_alignment = a; }

id copyAs(NSParagraphStyle* self, Class cls) {
    auto* c = objectAs<NSParagraphStyle>(newObject(cls));
    if (c) c->_alignment = self->_alignment;
    return c;
}
id copy(NSParagraphStyle* self, SEL) { return copyAs(self, NSParagraphStyle::cls()); }
id mutableCopy(NSParagraphStyle* self, SEL) { return copyAs(self, NSMutableParagraphStyle::cls()); }

}  // namespace paragraph

// The attributes of a drawing call.
struct Attributes {
    Face face;
    CGColor color{0, 0, 0, 1};
    NSInteger alignment = NSTextAlignmentNatural;
};

Attributes attributesOf(id dict) {
    Attributes a;
    if (dict == nullptr) return a;
    auto get = [&](NSString* key) { return objc_msgSend<id(id)>(dict, "objectForKey:"_sel, key); };
    if (auto* f = objectAs<UIFont>(get(NSFontAttributeName))) a.face = platform::text::faceOf(f);
    if (auto* c = objectAs<UIColor>(get(NSForegroundColorAttributeName))) a.color = c->cgColor();
    if (id style = get(NSParagraphStyleAttributeName)) a.alignment = objc_msgSend<NSInteger()>(style, "alignment"_sel);
    return a;
}

namespace stringDrawing {

void drawInRect(NSString* self, SEL, CGRect rect, id attributes) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr) return;
    Attributes a = attributesOf(attributes);
    rect = CGRectStandardize(rect);
    auto lines = platform::text::wrap(a.face, self->str(), rect.size.width, 0);
    platform::text::drawLines(c, a.face, lines, rect, a.alignment, a.color);
}

CGSize sizeWithAttributes(NSString* self, SEL, id attributes) {
    Attributes a = attributesOf(attributes);
    auto lines = platform::text::wrap(a.face, self->str(), 0, 0);
    double w = 0;
    for (const auto& line : lines) w = std::max(w, platform::text::width(a.face, line));
    return CGSizeMake(std::ceil(w), std::ceil(lines.size() * platform::text::metrics(a.face).lineHeight));
}

void drawAtPoint(NSString* self, SEL, CGPoint point, id attributes) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr) return;
    Attributes a = attributesOf(attributes);
    CGSize size = sizeWithAttributes(self, nullptr, attributes);
    auto lines = platform::text::wrap(a.face, self->str(), 0, 0);
    platform::text::drawLines(c, a.face, lines, CGRect{point, size}, NSTextAlignmentLeft, a.color);
}

}  // namespace stringDrawing

}  // namespace

UIFont* UIFont::system(double size, bool bold) {
    return static_cast<UIFont*>(
        objc_msgSend<id(double)>(cls(), bold ? "boldSystemFontOfSize:"_sel : "systemFontOfSize:"_sel, size));
}

void platform::uikit::registerFonts() {
    objc::ClassDef<UIFont>("UIFont", NSObject::cls())
        .classMethod<font::systemFontOfSize>("systemFontOfSize:")
        .classMethod<font::boldSystemFontOfSize>("boldSystemFontOfSize:")
        .classMethod<font::fontWithNameSize>("fontWithName:size:")
        .method<font::fontWithSize>("fontWithSize:")
        .method<font::fontName>("fontName")
        .method<font::familyName>("familyName")
        .method<font::pointSize>("pointSize")
        .method<font::lineHeight>("lineHeight")
        .method<font::ascender>("ascender")
        .method<font::descender>("descender")
        .OBJC_IVAR(UIFont, _pointSize);
    objc::ClassDef<NSParagraphStyle>("NSParagraphStyle", NSObject::cls())
        .classMethod<paragraph::defaultParagraphStyle>("defaultParagraphStyle")
        .method<paragraph::alignment>("alignment")
        .method<paragraph::copy>("copy")
        .method<paragraph::mutableCopy>("mutableCopy")
        .OBJC_IVAR(NSParagraphStyle, _alignment);
    objc::ClassDef<NSMutableParagraphStyle>("NSMutableParagraphStyle", NSParagraphStyle::cls())
        .method<paragraph::setAlignment>("setAlignment:");
    // UIKit's drawing methods of NSString.
    Class string = NSString::cls();
    objc::define_method(string, "drawInRect:withAttributes:"_sel, objc::make_imp<stringDrawing::drawInRect>(), "");
    objc::define_method(string, "drawAtPoint:withAttributes:"_sel, objc::make_imp<stringDrawing::drawAtPoint>(), "");
    objc::define_method(string, "sizeWithAttributes:"_sel, objc::make_imp<stringDrawing::sizeWithAttributes>(), "");
}

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig keeps blocks of its font matching that it never frees (and no
// longer points to); they are not ours to free. LeakSanitizer reads this
// list of what not to report from the process.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
