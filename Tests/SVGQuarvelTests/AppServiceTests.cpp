// The services: opening selected SVG text as a document and converting it in place, their
// errors, and the same calls made over a private session bus.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARVEL_LEAK_CHECKED 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define QUARVEL_LEAK_CHECKED 1
#endif
#if QUARVEL_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "SVGQuarvel/App/SVGConverterService.h"
#include "SVGQuarvel/App/DocumentController.h"
#include "FennixTests/BusTestSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using SVGQuarvel::DocumentController;
using SVGQuarvel::NSError;
using SVGQuarvel::NSPasteboard;
using namespace QuarvelTestSupport;

namespace {

const std::string circle = "<svg xmlns=\"http://www.w3.org/2000/svg\"><circle cx=\"10\" cy=\"10\" r=\"5\"/></svg>";
const std::string domain = "org.quarvel.errors.quarvel.svg.errors";

NSError expected(std::int64_t code, const std::string& message) { return NSError{domain, code, message}; }

TEST(AppService, ErrorsCarryTheDomainANegativeCodeAndTheMessage) {
  EXPECT_EQ(SVGConverterService::error(32423, "Missing SVG text?"), expected(-32423, "Missing SVG text?"));
  EXPECT_EQ(SVGConverterService::error(-5, "x").code, 5);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(SVGConverterService::error(std::numeric_limits<std::int64_t>::min(), "x"), "cannot be negated");
}

TEST(AppService, OpenSVGOpensADocumentOrSaysWhatWasMissing) {
  CapturedConsole console;
  auto& controller = DocumentController::shared();
  controller.setPresenter(nullptr);
  auto& service = SVGConverterService::serviceProvider();

  NSError error;
  NSPasteboard nothing;
  service.openSVG(nothing, "", &error);
  EXPECT_EQ(error, expected(-32423, "Missing SVG text?"));
  NSPasteboard empty(std::string(""));
  service.openSVG(empty, "", nullptr);  // no place for the error: only logged
  EXPECT_EQ(console.err(), "ERROR: got no SVG string from pasteboard!\nERROR: got no SVG string from pasteboard!\n");

  // Text and blanks alike open a document; blanks judged by the conversion.
  const auto before = controller.documents().size();
  for (const std::string& text : {circle, std::string("   ")}) {
    NSError none;
    NSPasteboard selection(text);
    service.openSVG(selection, "", &none);
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(selection.string(), text);
  }
  ASSERT_EQ(controller.documents().size(), before + 2);
  EXPECT_EQ(controller.documents()[before]->document()->svgString.get(), circle);
  EXPECT_EQ(controller.documents()[before + 1]->document()->swift.get(), "// Could not parse SVG\n");

  // A window that cannot be made: the error, and no snapshot left for the next document.
  controller.setPresenter([](const SVGQuarvel::DocumentRecordPtr&) { throw std::runtime_error("no display"); });
  NSPasteboard selection(circle);
  service.openSVG(selection, "", &error);
  controller.setPresenter(nullptr);
  EXPECT_EQ(error, expected(-32424, "Could not create new document?"));
  EXPECT_NE(console.err().find("ERROR: could not open new document: no display\n"), std::string::npos);
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());
  EXPECT_EQ(controller.documents().size(), before + 2);
}

TEST(AppService, SvgToViewReplacesTheSelectionOrReportsTheText) {
  CapturedConsole console;
  auto& service = SVGConverterService::serviceProvider();
  NSPasteboard selection(circle);
  NSError error;
  service.svgToView(selection, "", &error);
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(selection.string(), SVGQuarvelDocument::export_(circle, SVGQuarvelConfiguration::defaultConfig()).code);

  NSPasteboard empty;
  service.svgToView(empty, "", &error);
  EXPECT_EQ(error, expected(-22423, "Missing SVG text?"));

  NSPasteboard bad("not SVG at all");
  service.svgToView(bad, "", &error);
  EXPECT_EQ(error, expected(-22425, "Invalid SVG?"));
  EXPECT_EQ(bad.string(), "not SVG at all");  // left as it was
  EXPECT_NE(console.err().find("ERROR: could not shape SVG:\n---\nnot SVG at all\n---\n"), std::string::npos);

  // Blanks are no missing text: the conversion judges them.
  NSPasteboard blanks(std::string("  "));
  NSError none;
  service.svgToView(blanks, "", &none);
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(blanks.string(), "// Empty SVG\n");
}

TEST(AppService, DrawingsOverSixteenMegabytesAreRefusedAsFilesOfThatSizeAre) {
  CapturedConsole console;
  auto& controller = DocumentController::shared();
  controller.setPresenter(nullptr);
  auto& service = SVGConverterService::serviceProvider();
  const std::size_t limit = SVGQuarvelDocument::maximumOpenedSVGBytes;
  const std::string refusal =
      "The drawing is too large to open: it has 16.0 MB (16777217 bytes); drawings of at most 16 MB (16777216 "
      "bytes) of SVG text open.";
  EXPECT_EQ(SVGQuarvelDocument::tooLargeToOpenMessage(std::nullopt, limit + 1), refusal);

  // At the limit the text is converted (blanks: the empty drawing); one byte more is refused.
  NSPasteboard atLimit(std::string(limit, ' '));
  NSError none;
  service.svgToView(atLimit, "", &none);
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(atLimit.string(), "// Empty SVG\n");

  const auto before = controller.documents().size();
  const std::string over(limit + 1, ' ');
  NSPasteboard selection(over);
  NSError error;
  service.svgToView(selection, "", &error);
  EXPECT_EQ(error, expected(-22425, refusal));
  EXPECT_EQ(selection.string()->size(), over.size());  // left as it was
  service.openSVG(selection, "", &error);
  EXPECT_EQ(error, expected(-32425, refusal));
  EXPECT_EQ(controller.documents().size(), before);
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());
  // The refusal is logged without the text.
  EXPECT_EQ(console.err(), "ERROR: " + refusal + "\nERROR: " + refusal + "\n");
}

TEST(AppService, DrawingsWhoseCodeAWindowCouldNotHoldAreRefusedWithTheSizeMessage) {
  CapturedConsole console;
  auto& controller = DocumentController::shared();
  controller.setPresenter(nullptr);
  auto& service = SVGConverterService::serviceProvider();
  // A small drawing of much code: groups 250 levels deep, each of whose lines is indented 250 times.
  std::string deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int i = 0; i < 250; ++i) deep += "<g>";
  for (int i = 0; i < 30'000; ++i) deep += "<g/>";
  for (int i = 0; i < 250; ++i) deep += "</g>";
  deep += "</svg>";
  const auto before = controller.documents().size();
  NSPasteboard selection(deep);
  NSError error;
  service.openSVG(selection, "", &error);
  const std::string refusal =
      "The drawing is too large to open: its Swift code would have more than 64 MB (67108864 bytes); documents of "
      "at most 160 MB (167772160 bytes) of Swift text open.";
  EXPECT_EQ(error, expected(-32425, refusal));
  EXPECT_EQ(controller.documents().size(), before);
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());
  EXPECT_EQ(console.err(), "ERROR: " + refusal + "\n");

  // Converted in place, the same drawing meets the bound of its code long before that of an answer,
  // and the refusal names that bound.
  NSError converted;
  service.svgToView(selection, "", &converted);
  const std::string tooMuchCode =
      "The drawing is too large to convert: its Swift code would have more than 64 MB (67108864 bytes).";
  EXPECT_EQ(converted, expected(-22425, tooMuchCode));
  EXPECT_EQ(selection.string(), deep);  // left as it was
  EXPECT_EQ(console.err(), "ERROR: " + refusal + "\nERROR: " + tooMuchCode + "\n");
}

TEST(AppService, TheBoundedExportCountsTheCommentAndGivesUpPastItsBound) {
  CapturedConsole console;
  auto config = SVGQuarvelConfiguration();
  config.prefixSVG = true;
  const auto full = SVGQuarvelDocument::export_(circle, config);
  ASSERT_FALSE(full.failed);
  const auto exact = SVGQuarvelDocument::export_(circle, config, full.code.size());
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->code, full.code);
  EXPECT_FALSE(SVGQuarvelDocument::export_(circle, config, full.code.size() - 1));
  // Smaller than the comment alone: no generation at all.
  EXPECT_FALSE(SVGQuarvelDocument::export_(circle, config, circle.size() / 2));
  // Failures are failures, not sizes.
  const auto bad = SVGQuarvelDocument::export_("<nope", config, 1000);
  ASSERT_TRUE(bad);
  EXPECT_TRUE(bad->failed);
  EXPECT_EQ(bad->code, "// Could not parse SVG\n");
}

// ---- over the bus ---------------------------------------------------------------------------

struct BusReply {
  GVariant* value = nullptr;
  GError* error = nullptr;
  bool done = false;
  ~BusReply() {
    if (value) g_variant_unref(value);
    if (error) g_error_free(error);
  }
};

/// How long a call may take: the sanitizer build on a busy machine takes many seconds to convert
/// a drawing until its code passes its bound.
constexpr int callSeconds = 120;

void call(GDBusConnection* caller, const char* service, const char* method, const std::string& text, BusReply& reply) {
  g_dbus_connection_call(
      caller, service, SVGConverterService::objectPath, SVGConverterService::interfaceName, method,
      g_variant_new("(s)", text.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, callSeconds * 1000, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* answer = static_cast<BusReply*>(data);
        answer->value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &answer->error);
        answer->done = true;
      },
      &reply);
  FennixTestSupport::runMainLoopUntil([&] { return reply.done; }, callSeconds + 10);
}

/// Calls the services over a private bus and returns what went wrong.
std::string busRoundTrip() {
  std::string problems;
  auto check = [&](bool holds, const std::string& what) {
    if (!holds) problems += what + "\n";
    return holds;
  };
  CapturedConsole console;
#if QUARVEL_LEAK_CHECKED
  // This process ends through _Exit and never runs the exit-time leak check: run it here.
  __lsan_do_leak_check();
#endif
  BusTestSupport::PrivateBus bus;
  if (!check(!bus.address().empty(), "no bus: " + bus.log())) return problems;
  const auto flags =
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
  GDBusConnection* provider =
      g_dbus_connection_new_for_address_sync(bus.address().c_str(), flags, nullptr, nullptr, nullptr);
  GDBusConnection* caller =
      g_dbus_connection_new_for_address_sync(bus.address().c_str(), flags, nullptr, nullptr, nullptr);
  if (!check(provider && caller, "no bus connection")) return problems;
  SVGConverterService::activate(provider);
  check(console.out().find("did register service: <SVGConverterService>\n") != std::string::npos, "not registered");
  const char* name = g_dbus_connection_get_unique_name(provider);

  {
    BusReply reply;
    call(caller, name, "SvgToView", circle, reply);
    if (check(reply.value != nullptr, "SvgToView gave no value")) {
      const gchar* swift = nullptr;
      g_variant_get(reply.value, "(&s)", &swift);
      check(std::string(swift) == SVGQuarvelDocument::export_(circle, SVGQuarvelConfiguration::defaultConfig()).code,
            "SvgToView gave other code: " + std::string(swift));
    }
  }
  {
    BusReply reply;
    call(caller, name, "SvgToView", "<nope", reply);
    if (check(reply.error != nullptr, "SvgToView of no SVG gave no error")) {
      check(std::string(g_quark_to_string(reply.error->domain)) == domain, "wrong domain");
      check(reply.error->code == -22425, "wrong code " + std::to_string(reply.error->code));
      gchar* remote = g_dbus_error_get_remote_error(reply.error);
      check(remote != nullptr && std::string(remote) == domain + ".Code22425", "wrong error name");
      g_free(remote);
      g_dbus_error_strip_remote_error(reply.error);
      check(std::string(reply.error->message) == "Invalid SVG?", "wrong message " + std::string(reply.error->message));
    }
  }
  {
    // A small drawing of far more code than 64 MB: the answer names that bound, not the answer's.
    std::string deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
    for (int i = 0; i < 250; ++i) deep += "<g>";
    for (int i = 0; i < 30'000; ++i) deep += "<g/>";
    for (int i = 0; i < 250; ++i) deep += "</g>";
    deep += "</svg>";
    BusReply reply;
    call(caller, name, "SvgToView", deep, reply);
    if (check(reply.error != nullptr, "SvgToView of too much code gave no error")) {
      g_dbus_error_strip_remote_error(reply.error);
      const std::string message = reply.error->message;
      check(reply.error->code == -22425 &&
                message == "The drawing is too large to convert: its Swift code would have more than 64 MB "
                           "(67108864 bytes).",
            "wrong refusal " + message);
    }
  }
  {
    DocumentController::shared().setPresenter(nullptr);
    const auto before = DocumentController::shared().documents().size();
    BusReply empty;
    call(caller, name, "OpenSVG", "", empty);
    check(empty.error != nullptr && empty.error->code == -32423, "OpenSVG of nothing gave no -32423");
    BusReply opened;
    call(caller, name, "OpenSVG", circle, opened);
    check(opened.value != nullptr, "OpenSVG failed");
    check(DocumentController::shared().documents().size() == before + 1 &&
              DocumentController::shared().documents().back()->document()->svgString.get() == circle,
          "OpenSVG opened no document with the text");
  }

  {
    // Calls made back to back are answered in their order, and the windows open in that order,
    // though the conversions run off the main thread and the windows open on it.
    const std::string square = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\" height=\"4\"/></svg>";
    const auto before = DocumentController::shared().documents().size();
    std::vector<int> order;
    struct Call {
      std::vector<int>* order;
      int number;
      bool done = false;
    };
    std::vector<std::unique_ptr<Call>> calls;
    const std::vector<std::pair<const char*, std::string>> requests{
        {"OpenSVG", circle}, {"SvgToView", circle}, {"SvgToView", ""}, {"OpenSVG", square}};
    for (const auto& [method, text] : requests) {
      calls.push_back(std::make_unique<Call>(Call{&order, int(calls.size())}));
      g_dbus_connection_call(
          caller, name, SVGConverterService::objectPath, SVGConverterService::interfaceName, method,
          g_variant_new("(s)", text.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, callSeconds * 1000, nullptr,
          [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* call = static_cast<Call*>(data);
            if (GVariant* value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr)) {
              g_variant_unref(value);
            }
            call->order->push_back(call->number);
            call->done = true;
          },
          calls.back().get());
    }
    FennixTestSupport::runMainLoopUntil(
        [&] { return std::all_of(calls.begin(), calls.end(), [](const auto& call) { return call->done; }); },
        callSeconds + 10);
    check(order == std::vector<int>({0, 1, 2, 3}), "answers out of order");
    const auto& documents = DocumentController::shared().documents();
    check(documents.size() == before + 2 && documents[before]->document()->svgString.get() == circle &&
              documents[before + 1]->document()->svgString.get() == square,
          "the windows did not open in the order of the calls");
  }

  g_dbus_connection_close_sync(caller, nullptr, nullptr);
  g_dbus_connection_close_sync(provider, nullptr, nullptr);
  g_object_unref(caller);
  g_object_unref(provider);
  return problems;
}

// In a process of its own: the bus's worker thread then does not outlive this test program's
// other tests.
TEST(AppService, ServicesAnswerOnTheSessionBus) { EXPECT_NO_FAILURES_IN_FRESH_PROCESS(busRoundTrip); }

}  // namespace
