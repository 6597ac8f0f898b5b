#include "SVGQuarvel/App/About.h"

#include <glib.h>

std::vector<AboutView::CreditGroup> AboutView::creditGroups() {
  return {
      {"Uses and embeds:", {{"Highlight.js", "https://highlightjs.org/"}}},
      {"Some code inspired by:",
       {{"Vector Path Kit", "https://quarvel.org/credits/vector-path-kit"},
        {"Shape Emitter", "https://quarvel.org/credits/shape-emitter"}}},
  };
}

std::optional<AboutView::Link> AboutView::copyrightLink() const {
  if (!info.copyright) return std::nullopt;
  return Link{*info.copyright, "https://quarvel.org/"};
}

namespace AboutCommands {

std::string aboutItemTitle(const NSBundle::ApplicationInfo& info) { return "About " + info.appName + " \u2026"; }

std::string bugReportURL(const NSBundle& bundle) {
  const auto url = bundle.infoString("BugReporterURL");
  if (url && !url->empty() && g_uri_is_valid(url->c_str(), G_URI_FLAGS_NONE, nullptr)) return *url;
  return std::string(defaultBugReportURL);
}

}  // namespace AboutCommands
