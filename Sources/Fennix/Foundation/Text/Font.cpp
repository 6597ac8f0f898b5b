#include "Fennix/Foundation/Text/Font.h"
#include "Platform/Text/Text.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using Face = NSFont::Face;

// The font manager's weights 0 to 15 (5 regular, 9 bold) on the 100 to 1000 scale of the faces.
int faceWeight(int managerWeight) {
  static constexpr int table[16] = {100, 100, 200, 300, 350, 400, 500, 600,
                                    600, 700, 800, 900, 900, 1000, 1000, 1000};
  return table[std::clamp(managerWeight, 0, 15)];
}

constexpr int boldWeight = 700;
constexpr int boldThreshold = 600;
constexpr int normalStretch = PANGO_STRETCH_NORMAL;

// The face among those passing `fits` that is nearest to `weight`, preferring `stretch`; on a
// tie the lighter face wins.
template <typename Fits>
std::optional<Face> nearestFace(const std::vector<Face>& faces, int weight, int stretch, Fits fits) {
  const Face* best = nullptr;
  auto key = [&](const Face& f) {
    return std::tuple(f.stretch != stretch, std::abs(f.weight - weight), f.weight);
  };
  for (const Face& face : faces) {
    if (fits(face) && (!best || key(face) < key(*best))) best = &face;
  }
  if (!best) return std::nullopt;
  return *best;
}

// The installed families and their faces, read through one process-wide font map under a lock:
// fonts are asked for on the main thread and on the highlighter's queue.
class FontManager {
 public:
  static FontManager& shared() {
    static FontManager* manager = new FontManager();  // lives as long as the process
    return *manager;
  }

  /// The real faces of a family (matched without regard to letter case); none for an unknown family.
  std::optional<std::vector<Face>> faces(std::string_view family) {
    std::lock_guard lock(mutex_);
    loadFamilies();
    auto found = families_.find(QuarvelText::asciiLowercased(family));
    if (found == families_.end()) return std::nullopt;
    auto cached = faces_.find(found->first);
    if (cached != faces_.end()) return cached->second;

    PangoFontFamily* pangoFamily = found->second;
    std::vector<Face> result;
    PangoFontFace** list = nullptr;
    int count = 0;
    pango_font_family_list_faces(pangoFamily, &list, &count);
    for (int i = 0; i < count; ++i) {
      if (pango_font_face_is_synthesized(list[i])) continue;
      PangoFontDescription* description = pango_font_face_describe(list[i]);
      Face face;
      face.familyName = pango_font_family_get_name(pangoFamily);
      face.faceName = pango_font_face_get_face_name(list[i]);
      face.weight = pango_font_description_get_weight(description);
      face.italic = pango_font_description_get_style(description) != PANGO_STYLE_NORMAL;
      face.stretch = pango_font_description_get_stretch(description);
      face.fixedPitch = pango_font_family_is_monospace(pangoFamily);
      pango_font_description_free(description);
      result.push_back(std::move(face));
    }
    g_free(list);
    faces_.emplace(found->first, result);
    return result;
  }

  /// The family fontconfig actually uses for a font description such as "monospace 10".
  std::optional<std::string> resolveFamily(const std::string& description) {
    std::lock_guard lock(mutex_);
    PangoFontDescription* wanted = pango_font_description_from_string(description.c_str());
    PangoFont* font = pango_font_map_load_font(map_, context_, wanted);
    pango_font_description_free(wanted);
    if (!font) return std::nullopt;
    PangoFontDescription* got = pango_font_describe(font);
    std::optional<std::string> family;
    if (const char* name = pango_font_description_get_family(got)) family = name;
    pango_font_description_free(got);
    g_object_unref(font);
    return family;
  }

 private:
  FontManager() : map_(pango_cairo_font_map_new()), context_(pango_font_map_create_context(map_)) {}

  void loadFamilies() {
    if (!families_.empty()) return;
    PangoFontFamily** list = nullptr;
    int count = 0;
    pango_font_map_list_families(map_, &list, &count);
    for (int i = 0; i < count; ++i) {
      families_.emplace(QuarvelText::asciiLowercased(pango_font_family_get_name(list[i])), list[i]);
    }
    g_free(list);
  }

  std::mutex mutex_;
  PangoFontMap* map_;
  PangoContext* context_;
  std::map<std::string, PangoFontFamily*> families_;  // owned by the font map
  std::map<std::string, std::vector<Face>> faces_;
};

// The toolkit's interface font: its family and size in points.
struct InterfaceFont {
  std::string family = "Sans";
  double size = 10;
};

std::mutex interfaceFontSourceMutex;
std::function<std::string()>& interfaceFontSource() {
  static std::function<std::string()> source;
  return source;
}

InterfaceFont interfaceFont() {
  std::string name = "Sans 10";
  std::function<std::string()> source;
  {
    std::lock_guard lock(interfaceFontSourceMutex);
    source = interfaceFontSource();
  }
  if (source) {
    if (std::string value = source(); !value.empty()) name = value;
  }
  InterfaceFont result;
  PangoFontDescription* description = pango_font_description_from_string(name.c_str());
  if (const char* family = pango_font_description_get_family(description); family && *family) {
    result.family = family;
  }
  double size = double(pango_font_description_get_size(description)) / PANGO_SCALE;
  if (pango_font_description_get_size_is_absolute(description)) size = size * 72.0 / 96.0;
  if (size > 0) result.size = size;
  pango_font_description_free(description);
  return result;
}

double roundedToHalfPoints(double size) { return std::round(size * 2) / 2; }

bool usableSize(double size) { return std::isfinite(size) && size > 0; }

NSFontPtr makeFont(Face face, double size) {
  return std::make_shared<const NSFont>(NSFont::Token{}, std::move(face), size);
}

// A font of the family fontconfig picks for a description, with no traits and regular weight;
// when the font map lists no such family, a font of that name all the same, so that the
// standard fonts always exist.
NSFontPtr resolvedFont(const std::string& family, double size) {
  std::optional<std::string> resolved = FontManager::shared().resolveFamily(family);
  if (resolved) {
    if (NSFontPtr font = NSFont::font(*resolved, 0, 5, size)) return font;
  }
  Face face;
  face.familyName = resolved.value_or(family);
  face.faceName = "Regular";
  return makeFont(std::move(face), size);
}

}  // namespace

NSFont::NSFont(Token, Face face, double pointSize) : face_(std::move(face)), pointSize_(pointSize) {}

std::string NSFont::fontName() const { return face_.familyName + " " + face_.faceName; }

unsigned NSFont::traits() const {
  unsigned mask = 0;
  if (face_.italic) mask |= NSItalicFontMask;
  if (face_.weight >= boldThreshold) mask |= NSBoldFontMask;
  if (face_.fixedPitch) mask |= NSFixedPitchFontMask;
  return mask;
}

std::string NSFont::pangoDescription() const {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, face_.familyName.c_str());
  pango_font_description_set_weight(description, PangoWeight(face_.weight));
  pango_font_description_set_style(description, face_.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_font_description_set_stretch(description, PangoStretch(face_.stretch));
  pango_font_description_set_size(description, int(std::lround(pointSize_ * PANGO_SCALE)));
  char* text = pango_font_description_to_string(description);
  std::string result = text;
  g_free(text);
  pango_font_description_free(description);
  return result;
}

bool NSFont::operator==(const NSFont& other) const {
  return face_ == other.face_ && pointSize_ == other.pointSize_;
}

void NSFont::setInterfaceFontSource(std::function<std::string()> source) {
  std::lock_guard lock(interfaceFontSourceMutex);
  interfaceFontSource() = std::move(source);
}

double NSFont::systemFontSize() { return roundedToHalfPoints(interfaceFont().size); }

// The platform's small and label sizes keep the proportions 11 : 10 to the system size of 13.
double NSFont::smallSystemFontSize() { return roundedToHalfPoints(interfaceFont().size * 11 / 13); }

double NSFont::labelFontSize() { return roundedToHalfPoints(interfaceFont().size * 10 / 13); }

NSFontPtr NSFont::systemFont(double ofSize) {
  return resolvedFont(interfaceFont().family, usableSize(ofSize) ? ofSize : systemFontSize());
}

NSFontPtr NSFont::labelFont(double ofSize) {
  return resolvedFont(interfaceFont().family, usableSize(ofSize) ? ofSize : labelFontSize());
}

NSFontPtr NSFont::userFixedPitchFont(double ofSize) {
  std::optional<std::string> family = FontManager::shared().resolveFamily("monospace");
  if (!family) return nullptr;
  return mono(*family, usableSize(ofSize) ? ofSize : systemFontSize());
}

NSFontPtr NSFont::font(std::string_view withFamily, unsigned traits, int weight, double size) {
  if (!usableSize(size)) return nullptr;
  std::optional<std::vector<Face>> faces = FontManager::shared().faces(withFamily);
  if (!faces || faces->empty()) return nullptr;
  if ((traits & NSFixedPitchFontMask) && !faces->front().fixedPitch) return nullptr;
  const bool italic = traits & NSItalicFontMask;
  const bool bold = traits & NSBoldFontMask;
  const int target = bold ? std::max(faceWeight(weight), boldWeight) : faceWeight(weight);
  std::optional<Face> face = nearestFace(*faces, target, normalStretch, [&](const Face& f) {
    return f.italic == italic && (!bold || f.weight >= boldThreshold);
  });
  if (!face) return nullptr;
  return makeFont(std::move(*face), size);
}

NSFontPtr NSFont::font(std::string_view family, double size, int weight) { return font(family, 0, weight, size); }

NSFontPtr NSFont::mono(std::string_view family, double size) {
  return font(family, NSFixedPitchFontMask, 0, size);
}

NSFontPtr NSFont::qvBold() const {
  std::optional<std::vector<Face>> faces = FontManager::shared().faces(face_.familyName);
  if (!faces) return self();
  std::optional<Face> face = nearestFace(*faces, boldWeight, face_.stretch, [&](const Face& f) {
    return f.italic == face_.italic && f.weight >= boldThreshold;
  });
  return face ? makeFont(std::move(*face), pointSize_) : self();
}

NSFontPtr NSFont::qvItalic() const {
  std::optional<std::vector<Face>> faces = FontManager::shared().faces(face_.familyName);
  if (!faces) return self();
  std::optional<Face> face =
      nearestFace(*faces, face_.weight, face_.stretch, [](const Face& f) { return f.italic; });
  return face ? makeFont(std::move(*face), pointSize_) : self();
}

NSFontPtr NSFont::qvBolder() const {
  std::optional<std::vector<Face>> faces = FontManager::shared().faces(face_.familyName);
  if (!faces) return self();
  std::optional<Face> face = nearestFace(*faces, face_.weight + 1, face_.stretch, [&](const Face& f) {
    return f.italic == face_.italic && f.weight > face_.weight;
  });
  return face ? makeFont(std::move(*face), pointSize_) : self();
}

NSFontPtr NSFont::qvModifySize(double by) const {
  const double size = pointSize_ + by;
  if (!std::isfinite(by) || !usableSize(size)) return self();
  return makeFont(face_, size);
}
