// Face lookup through fontconfig, scaling and rendering through FreeType.
//
// Cell height: a style's height is the character cell (ascent + descent), as the Windows
// metrics of the face's OS/2 table define it (usWinAscent + usWinDescent), not the em size. The
// face is scaled so that those two add up to the requested pixels; the cell is then split into
// ascent and descent in the same proportion, so the cell is exactly the requested height.
//
// Glyphs are loaded hinted for one-bit rendering, turned (and slanted for a synthetic italic)
// by FT_Set_Transform, and rendered with FT_RENDER_MODE_MONO. A glyph's metrics come first; its
// bitmap is rendered only when the glyph is visible, so a huge text far off the page costs the
// outline loads alone.
//
// Memory: at most kMaxStyles styles and kGlyphBudget bytes of glyph bitmaps are kept; past
// either the least recently used style goes (the one drawing is never evicted, at worst its
// own bitmaps are dropped and rendered again as needed).
#include "text_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>

#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include "cp1252.h"

namespace easel::text {

struct Face {
  std::string file;
  int index = 0;
  FT_Face face = nullptr;
  bool symbol = false;            // only a symbol charmap: characters sit at 0xF000 + code
  const Style* active = nullptr;  // the style whose size and transform the face has set
};

namespace {

constexpr size_t kMaxStyles = 32;
constexpr size_t kGlyphBudget = size_t{32} << 20;
constexpr double kSyntheticSlant = 0.2;  // x shift per unit of height, as fontconfig slants
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO;

// Faces to use for a family the system may not have under its own name, best first: faces
// with the same metrics, then a face of the same kind. The family's own name is tried first.
struct Substitutes {
  const char* family;
  const char* faces[4];
};
constexpr Substitutes kSubstitutes[] = {
    {"Courier New", {"Liberation Mono", "Cousine", "DejaVu Sans Mono", nullptr}},
    // A bitmap screen font: the wide, screen-designed DejaVu Sans is closer to it than Arial.
    {"MS Sans Serif", {"Microsoft Sans Serif", "DejaVu Sans", "Liberation Sans", "Arimo"}},
    {"Times New Roman", {"Liberation Serif", "Tinos", "DejaVu Serif", nullptr}},
    {"Arial", {"Liberation Sans", "Arimo", "DejaVu Sans", nullptr}},
};

struct Match {
  std::string file;
  int index = 0;
  int weight = 400;  // OpenType weight of the face found
  bool italic = false;
};

struct Fonts {
  struct Known {
    std::string family;
    int weight;
    bool italic;
    bool found;
    Match match;
  };
  std::vector<Known> matches;  // fontconfig's answers, which do not change while running
  FT_Library library = nullptr;
  std::vector<std::unique_ptr<Face>> faces;
  std::vector<std::unique_ptr<Style>> styles;
  size_t bitmapBytes = 0;  // over all styles
  uint64_t clock = 0;      // for least-recently-used eviction
};

// Never destroyed: the library closes a window still open at program exit, which releases
// the fonts, and that may run after function-local statics created later have gone.
Fonts& F() {
  static Fonts& fonts = *new Fonts;
  return fonts;
}

// Loaded once per process: reading the configuration and font caches is the costly part of
// fontconfig (10-20 ms), and the installed fonts do not change under a running program. It is
// destroyed at exit, so leak checkers see fontconfig's offset-encoded pointers freed.
FcConfig* fcConfig = nullptr;
bool configLoaded = false;

void DestroyConfig() {
  if (fcConfig) FcConfigDestroy(fcConfig);
  fcConfig = nullptr;  // and never loaded again
}

FcConfig* Config() {
  if (!configLoaded) {
    configLoaded = true;
    fcConfig = FcInitLoadConfigAndFonts();
    std::atexit(DestroyConfig);
  }
  return fcConfig;
}

const FcChar8* Fc(const char* s) {
  return reinterpret_cast<const FcChar8*>(s);
}

// Family names compare as fontconfig compares them: ignoring case and blanks.
bool SameFamily(const char* a, const char* b) {
  for (;;) {
    while (*a == ' ') ++a;
    while (*b == ' ') ++b;
    const char ca = static_cast<char>(std::tolower(static_cast<unsigned char>(*a)));
    const char cb = static_cast<char>(std::tolower(static_cast<unsigned char>(*b)));
    if (ca != cb) return false;
    if (ca == 0) return true;
    ++a;
    ++b;
  }
}

// The face fontconfig picks for a family, weight and slant, when it really is that family
// (fontconfig falls back to some default face rather than failing) and a readable scalable
// file.
bool MatchFace(const char* family, int weight, bool italic, Match* out) {
  FcConfig* config = Config();
  if (!config) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, Fc(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::min(weight, 1000)));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (!found) return false;

  bool sameFamily = false;
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (SameFamily(reinterpret_cast<const char*>(name), family)) sameFamily = true;
  }
  FcBool scalable = FcFalse;
  FcPatternGetBool(found, FC_SCALABLE, 0, &scalable);
  FcChar8* file = nullptr;
  const bool ok = sameFamily && scalable &&
                  FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch &&
                  access(reinterpret_cast<const char*>(file), R_OK) == 0;
  if (ok) {
    out->file = reinterpret_cast<const char*>(file);
    out->index = 0;
    FcPatternGetInteger(found, FC_INDEX, 0, &out->index);
    int fcWeight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(found, FC_WEIGHT, 0, &fcWeight);
    out->weight = FcWeightToOpenType(fcWeight);
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(found, FC_SLANT, 0, &slant);
    out->italic = slant != FC_SLANT_ROMAN;
  }
  FcPatternDestroy(found);
  return ok;
}

// MatchFace through a cache: a style rebuilt after eviction asks fontconfig nothing.
bool MatchCached(const char* family, int weight, bool italic, Match* out) {
  auto& known = F().matches;
  for (const auto& k : known) {
    if (k.weight == weight && k.italic == italic && k.family == family) {
      if (k.found) *out = k.match;
      return k.found;
    }
  }
  const bool found = MatchFace(family, weight, italic, out);
  known.push_back({family, weight, italic, found, found ? *out : Match{}});
  return found;
}

Face* OpenFace(const Match& m) {
  Fonts& fonts = F();
  for (const auto& f : fonts.faces) {
    if (f->file == m.file && f->index == m.index) return f.get();
  }
  if (!fonts.library && FT_Init_FreeType(&fonts.library) != 0) {
    fonts.library = nullptr;
    return nullptr;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(fonts.library, m.file.c_str(), m.index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto entry = std::make_unique<Face>();
  entry->file = m.file;
  entry->index = m.index;
  entry->face = face;
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
    entry->symbol = FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;
  }
  fonts.faces.push_back(std::move(entry));
  return fonts.faces.back().get();
}

void DropBitmaps(Style& s) {
  Fonts& fonts = F();
  fonts.bitmapBytes -= s.bits.size();
  std::vector<uint8_t>().swap(s.bits);
  for (Glyph& g : s.glyphs) g.hasBitmap = false;
}

void DestroyStyle(Style& s) {
  DropBitmaps(s);
  if (s.face && s.face->active == &s) s.face->active = nullptr;
  if (s.size) FT_Done_Size(s.size);
  s.size = nullptr;
}

// Evicts the least recently used style other than keep; false when there is none.
bool EvictOne(const Style* keep) {
  auto& styles = F().styles;
  auto victim = styles.end();
  for (auto it = styles.begin(); it != styles.end(); ++it) {
    if (it->get() == keep) continue;
    if (victim == styles.end() || (*it)->lastUse < (*victim)->lastUse) victim = it;
  }
  if (victim == styles.end()) return false;
  DestroyStyle(**victim);
  styles.erase(victim);
  return true;
}

// Direction in exact steps where it matters: the four right angles give exact 0 and 1.
void DirectionOf(int degrees, double* c, double* s) {
  switch (degrees) {
    case 0:
      *c = 1, *s = 0;
      return;
    case 90:
      *c = 0, *s = 1;
      return;
    case 180:
      *c = -1, *s = 0;
      return;
    case 270:
      *c = 0, *s = -1;
      return;
    default: {
      const double a = degrees * std::numbers::pi / 180.0;
      *c = std::cos(a);
      *s = std::sin(a);
    }
  }
}

// Sizes and metrics of a new style on its face; false when FreeType refuses the size.
bool SizeStyle(Style& s) {
  FT_Face face = s.face->face;
  FT_Size size = nullptr;
  if (FT_New_Size(face, &size) != 0) return false;
  s.size = size;
  FT_Activate_Size(size);
  s.face->active = nullptr;  // the transform is set again before the next load

  // The cell in font units: the Windows ascent and descent, else the typographic ones.
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  double up = 0, down = 0;
  if (os2 && os2->version != 0xFFFFu && os2->usWinAscent + os2->usWinDescent > 0) {
    up = os2->usWinAscent;
    down = os2->usWinDescent;
  } else if (face->ascender - face->descender > 0) {
    up = face->ascender;
    down = -face->descender;
  } else {
    up = face->units_per_EM * 0.8;
    down = face->units_per_EM * 0.2;
  }
  const int height = s.key.height;
  double ppem = height * face->units_per_EM / (up + down);
  // Faces that ask for whole-pixel ems get the next smaller one, so the scaled cell never
  // outgrows the requested height (FreeType would round to the nearest).
  const TT_Header* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
  if (head && (head->Flags & 8)) ppem = std::max(1.0, std::floor(ppem));
  FT_Size_RequestRec request{};
  request.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.width = 0;
  request.height = std::max(1L, std::lround(ppem * 64));
  if (FT_Request_Size(face, &request) != 0) return false;

  s.ascent = std::clamp(static_cast<int>(std::lround(height * up / (up + down))), 0, height);
  s.descent = height - s.ascent;

  // Underline from the face's own position and thickness (post table), at least a pixel.
  const double scale = ppem / face->units_per_EM;
  const int thickness =
      std::max(1, static_cast<int>(std::lround(face->underline_thickness * scale)));
  const double centre = -face->underline_position * scale;
  s.underlineThickness = thickness;
  s.underlineTop = std::max(1, static_cast<int>(std::lround(centre - thickness / 2.0)));

  // Turn by the direction after slanting: the matrix is R(direction) * Shear.
  DirectionOf(s.key.direction, &s.cosA, &s.sinA);
  const double k = s.syntheticItalic ? kSyntheticSlant : 0.0;
  const double m[4] = {s.cosA, s.cosA * k - s.sinA, s.sinA, s.sinA * k + s.cosA};
  for (int i = 0; i < 4; ++i) s.matrix[i] = std::lround(m[i] * 65536.0);
  // As FreeType emboldens: a 24th of the em, spread over both sides of each stem.
  s.embolden = s.syntheticBold ? FT_MulFix(face->units_per_EM, size->metrics.y_scale) / 24 : 0;
  return true;
}

// Loads character c of the style into the face's glyph slot; false when even the face's
// missing-character glyph cannot be loaded.
bool Load(Style& s, uint8_t c) {
  Face& f = *s.face;
  if (f.active != &s) {
    FT_Activate_Size(s.size);
    FT_Matrix matrix{s.matrix[0], s.matrix[1], s.matrix[2], s.matrix[3]};
    FT_Set_Transform(f.face, &matrix, nullptr);
    f.active = &s;
  }
  const FT_ULong code = f.symbol ? 0xF000u + c : Cp1252ToUnicode(c);
  const FT_UInt index = FT_Get_Char_Index(f.face, code);
  if (FT_Load_Glyph(f.face, index, kLoadFlags) != 0 &&
      (index == 0 || FT_Load_Glyph(f.face, 0, kLoadFlags) != 0)) {
    return false;
  }
  FT_GlyphSlot slot = f.face->glyph;
  if (s.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Outline_Embolden(&slot->outline, s.embolden);
  }
  return true;
}

// Makes room for bytes more of bitmaps in style s.
void MakeRoom(Style& s, size_t bytes) {
  Fonts& fonts = F();
  while (fonts.bitmapBytes + bytes > kGlyphBudget && EvictOne(&s)) {
  }
  if (fonts.bitmapBytes + bytes > kGlyphBudget) DropBitmaps(s);
}

// Renders the glyph loaded in the slot into the style's bitmaps.
void Render(Style& s, Glyph& g) {
  FT_GlyphSlot slot = s.face->face->glyph;
  g.hasBitmap = true;
  g.width = g.rows = g.rowBytes = 0;
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) {
    return;
  }
  const FT_Bitmap& b = slot->bitmap;
  if (b.width == 0 || b.rows == 0 || !b.buffer) return;
  if (b.pixel_mode != FT_PIXEL_MODE_MONO && b.pixel_mode != FT_PIXEL_MODE_GRAY) return;
  const int width = static_cast<int>(b.width), rows = static_cast<int>(b.rows);
  const int rowBytes = (width + 7) / 8;
  const size_t bytes = static_cast<size_t>(rowBytes) * static_cast<size_t>(rows);
  MakeRoom(s, bytes);
  g.offset = static_cast<uint32_t>(s.bits.size());
  s.bits.resize(s.bits.size() + bytes);
  F().bitmapBytes += bytes;
  const int stride = std::abs(b.pitch);
  for (int r = 0; r < rows; ++r) {
    // A negative pitch stores the bottom row first.
    const unsigned char* src =
        b.buffer + static_cast<ptrdiff_t>(b.pitch >= 0 ? r : rows - 1 - r) * stride;
    uint8_t* dst = s.bits.data() + g.offset + static_cast<size_t>(r) * rowBytes;
    if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
      std::memcpy(dst, src, static_cast<size_t>(rowBytes));
    } else {
      for (int x = 0; x < width; ++x) {
        if (src[x] >= 128) dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] | (0x80 >> (x & 7)));
      }
    }
  }
  g.left = slot->bitmap_left;
  g.top = -slot->bitmap_top;
  g.width = width;
  g.rows = rows;
  g.rowBytes = rowBytes;
}

// Takes the metrics of the glyph loaded in the slot.
void Measure(Style& s, Glyph& g) {
  FT_GlyphSlot slot = s.face->face->glyph;
  g.advance = static_cast<int32_t>(slot->metrics.horiAdvance + s.embolden);
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_BBox box;
    FT_Outline_Get_CBox(&slot->outline, &box);
    if (box.xMin < box.xMax && box.yMin < box.yMax) {
      // One pixel of slack on every side: the renderer's own rounding stays inside.
      g.boxLeft = static_cast<int32_t>((box.xMin >> 6) - 1);
      g.boxRight = static_cast<int32_t>(((box.xMax + 63) >> 6) + 1);
      g.boxTop = static_cast<int32_t>(-((box.yMax + 63) >> 6) - 1);
      g.boxBottom = static_cast<int32_t>(-(box.yMin >> 6) + 1);
    } else {
      g.boxLeft = g.boxRight = g.boxTop = g.boxBottom = 0;
    }
  } else {
    g.boxLeft = slot->bitmap_left;
    g.boxRight = slot->bitmap_left + static_cast<int32_t>(slot->bitmap.width);
    g.boxTop = -slot->bitmap_top;
    g.boxBottom = -slot->bitmap_top + static_cast<int32_t>(slot->bitmap.rows);
  }
  g.hasMetrics = true;
}

}  // namespace

bool ResolveFamily(const char* family, std::string* faceFamily) {
  if (!family || !*family) return false;
  const char* const* candidates = nullptr;
  for (const Substitutes& s : kSubstitutes) {
    if (SameFamily(s.family, family)) candidates = s.faces;
  }
  Match m;
  if (MatchFace(family, 400, false, &m)) {
    *faceFamily = family;
    return true;
  }
  for (int i = 0; candidates && i < 4 && candidates[i]; ++i) {
    if (MatchFace(candidates[i], 400, false, &m)) {
      *faceFamily = candidates[i];
      return true;
    }
  }
  return false;
}

Style* FindStyle(const StyleKey& key, const std::string& faceFamily, const Style* keep) {
  Fonts& fonts = F();
  for (const auto& s : fonts.styles) {
    if (s->key == key) {
      s->lastUse = ++fonts.clock;
      return s.get();
    }
  }
  const int weight = 400 + 300 * key.weightStep;
  Match m;
  if (!MatchCached(faceFamily.c_str(), weight, key.italic, &m) &&
      !MatchCached(faceFamily.c_str(), 400, false, &m)) {
    return nullptr;
  }
  Face* face = OpenFace(m);
  if (!face) return nullptr;

  while (fonts.styles.size() >= kMaxStyles && EvictOne(keep)) {
  }
  auto style = std::make_unique<Style>();
  style->key = key;
  style->face = face;
  style->faceFile = m.file;
  style->syntheticBold = weight >= 600 && m.weight < 600;
  style->syntheticItalic = key.italic && !m.italic;
  if (!SizeStyle(*style)) {
    DestroyStyle(*style);
    return nullptr;
  }
  style->lastUse = ++fonts.clock;
  fonts.styles.push_back(std::move(style));
  return fonts.styles.back().get();
}

const Glyph& GlyphOf(Style& s, uint8_t c, bool withBitmap) {
  Glyph& g = s.glyphs[c];
  if (g.hasMetrics && (g.hasBitmap || !withBitmap)) return g;
  if (!Load(s, c)) {
    // Nothing to draw: an empty glyph without advance.
    g = Glyph{};
    g.hasMetrics = g.hasBitmap = true;
    return g;
  }
  if (!g.hasMetrics) Measure(s, g);
  // Small glyphs are rendered with their metrics: the load is already paid for.
  const int64_t area = static_cast<int64_t>(g.boxRight - g.boxLeft) * (g.boxBottom - g.boxTop);
  if (withBitmap || area <= 64 * 64) Render(s, g);
  return g;
}

void ReleaseFonts() {
  Fonts& fonts = F();
  for (auto& s : fonts.styles) DestroyStyle(*s);
  fonts.styles.clear();
  for (auto& f : fonts.faces) FT_Done_Face(f->face);
  fonts.faces.clear();
  fonts.matches.clear();
  if (fonts.library) FT_Done_FreeType(fonts.library);
  fonts.library = nullptr;
  fonts.bitmapBytes = 0;
}

}  // namespace easel::text
