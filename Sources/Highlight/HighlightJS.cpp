#include "Highlight/HighlightJS.h"

#include <jsc/jsc.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/console/Console.h"
#include "Highlight/EngineProcess.h"
#include "Highlight/HTMLConversion.h"
#include "Highlight/Resources.h"

namespace {

constexpr const char* contextName = "QV:HighlightJS";

// Owns one reference of a GObject (JavaScriptCore values, contexts and machines are GObjects).
template <typename T>
class Ref {
 public:
  explicit Ref(T* object = nullptr) : object_(object) {}
  ~Ref() {
    if (object_) g_object_unref(object_);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return object_; }
  T* release() { return std::exchange(object_, nullptr); }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_;
};

std::string takeString(char* text) {
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

// The text of a JavaScript value as the engine converts it; none for no value.
std::optional<std::string> describe(JSCValue* value) {
  if (!value) return std::nullopt;
  return takeString(jsc_value_to_string(value));
}

// All of a string value, NUL characters included.
std::string stringBytes(JSCValue* value) {
  GBytes* bytes = jsc_value_to_string_as_bytes(value);
  if (!bytes) return {};
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string result(data ? data : "", data ? size : 0);
  g_bytes_unref(bytes);
  return result;
}

JSCValue* newString(JSCContext* context, const std::string& text) {
  GBytes* bytes = g_bytes_new(text.data(), text.size());
  JSCValue* value = jsc_value_new_string_from_bytes(context, bytes);
  g_bytes_unref(bytes);
  return value;
}

// The name in lower case, by Unicode's case mapping.
std::string lowercasedName(const std::string& name) {
  if (!g_utf8_validate(name.data(), gssize(name.size()), nullptr)) {
    return takeString(g_ascii_strdown(name.data(), gssize(name.size())));
  }
  return takeString(g_utf8_strdown(name.data(), gssize(name.size())));
}

// Logs the exception and leaves it unset on the context: the call goes on with the value the
// engine hands back (undefined).
void logException(JSCContext*, JSCException* exception, gpointer) {
  const std::string context = contextName;
  if (exception) {
    const std::string text = takeString(jsc_exception_to_string(exception));
    console::error("JS Exception:", text, "in:", context);
  } else {
    console::error("JS Exception in:", context);
  }
}

// The highlighter's JavaScript machine: made on first use (on the highlighter's thread) and kept
// until the process ends, also when loading fails after making it.
JSCVirtualMachine* processVirtualMachine() {
  static JSCVirtualMachine* const vm = jsc_virtual_machine_new();
  return vm;
}

// The hljs object, when `holder` has one.
JSCValue* hljsIn(JSCValue* holder) {
  Ref<JSCValue> hljs(jsc_value_object_get_property(holder, "hljs"));
  if (hljs && jsc_value_is_object(hljs.get())) return hljs.release();
  return nullptr;
}

}  // namespace

const std::shared_ptr<HighlightJS>& HighlightJS::shared() {
  // Made once and never released: the queue may still run when the process ends.
  static const auto* shared = new std::shared_ptr<HighlightJS>([] {
    // The engine learns the process's main thread here, on the calling thread (the main thread),
    // as its collector expects; the highlighter's own machine is made on its queue's thread, so
    // that its timers (the collector's) run there, between highlights, instead of waiting on the
    // main thread for a long highlight to let go of the machine.
    if (EngineProcess::setUp() == EngineProcess::SetUp::none) {
      console::error("the JavaScript engine could not be set up for this process: its collector may fail");
    }
    DispatchQueue queue = DispatchQueue::withOwnThread(NSBundle::reverseDNSPrefix() + ".vorn1.highlight");
    std::shared_ptr<HighlightJS> loaded;
    queue.sync([&] { loaded = loadHighlightJS(queue); });
    if (loaded) loaded->loadLanguages();
    return loaded;
  }());
  return *shared;
}

std::shared_ptr<HighlightJS> HighlightJS::loadHighlightJS(const DispatchQueue& queue) {
  const std::optional<std::string> path = resourcePath("highlight.min", "js");
  if (!path) {
    console::log("highlight.min.js not available, no code highlighting");
    return nullptr;
  }

  Ref<JSCVirtualMachine> vm(processVirtualMachine() ? JSC_VIRTUAL_MACHINE(g_object_ref(processVirtualMachine())) : nullptr);
  Ref<JSCContext> context(vm ? jsc_context_new_with_virtual_machine(vm.get()) : nullptr);
  Ref<JSCValue> window(context ? jsc_value_new_object(context.get(), nullptr, nullptr) : nullptr);
  if (!vm || !context || !window) {
    console::error("could not setup JSContext/JSValue");
    return nullptr;
  }
  jsc_context_set_value(context.get(), "window", window.get());
  jsc_context_push_exception_handler(context.get(), logException, nullptr, nullptr);

  const std::string url = takeString(g_filename_to_uri(path->c_str(), nullptr, nullptr));
  gchar* contents = nullptr;
  gsize length = 0;
  GError* error = nullptr;
  if (!g_file_get_contents(path->c_str(), &contents, &length, &error) ||
      !g_utf8_validate(contents, gssize(length), nullptr)) {
    const std::string reason = error ? error->message : "the file is not UTF-8 text";
    console::error("Could not load Highlight.js at:", url, "\n  error:", reason);
    if (error) g_error_free(error);
    g_free(contents);
    return nullptr;
  }
  Ref<JSCValue> result(jsc_context_evaluate_with_source_uri(context.get(), contents, gssize(length), url.c_str(), 1));
  g_free(contents);
  if (!result) {
    console::log("HighlightJS did load w/o result?");
  } else if (jsc_value_to_boolean(result.get())) {
    console::log("Highlight.js loaded fine.");
  } else if (jsc_value_is_undefined(result.get())) {
    console::log("Highlight.js loaded w/ undefined.");
  } else {
    console::log("HighlightJS did load w/o result?:", describe(result.get()));
  }

  JSCValue* hljs = hljsIn(window.get());
  if (!hljs) {
    Ref<JSCValue> global(jsc_context_get_global_object(context.get()));
    hljs = hljsIn(global.get());
  }
  if (!hljs) {
    console::error("could not locate Highlight.js in JSContext");
    return nullptr;
  }
  return std::shared_ptr<HighlightJS>(new HighlightJS(queue, hljs, vm.release()));
}

HighlightJS::HighlightJS(DispatchQueue queue, JSCValue* highlightJS, JSCVirtualMachine* vm)
    : Q(std::move(queue)), highlightJS_(highlightJS), vm_(vm) {}

HighlightJS::~HighlightJS() {
  g_object_unref(highlightJS_);  // holds its context
  g_object_unref(vm_);
}

void HighlightJS::loadLanguages() {
  Q.async([self = shared_from_this()] {
    Ref<JSCValue> list(jsc_value_object_invoke_method(self->highlightJS_, "listLanguages", G_TYPE_NONE));
    if (!list || jsc_value_is_undefined(list.get())) {
      console::log("Could not list Highlight.js languages!");
      return;
    }
    if (!jsc_value_is_array(list.get())) return;
    Ref<JSCValue> lengthValue(jsc_value_object_get_property(list.get(), "length"));
    const double length = lengthValue ? jsc_value_to_double(lengthValue.get()) : 0;
    std::vector<std::string> names;
    for (guint i = 0; double(i) < length; ++i) {
      Ref<JSCValue> name(jsc_value_object_get_property_at_index(list.get(), i));
      if (!name || !jsc_value_is_string(name.get())) return;
      names.push_back(stringBytes(name.get()));
    }
    DispatchQueue::main().async([self, names = std::move(names)] {
      std::set<std::string> lowercased;
      std::string joined;
      for (const std::string& name : names) {
        lowercased.insert(lowercasedName(name));
        joined += (joined.empty() ? "" : ", ") + name;
      }
      const std::size_t count = lowercased.size();
      {
        std::lock_guard lock(self->languagesMutex_);
        self->languages_ = std::move(lowercased);
      }
      console::log("Highlight languages (#" + std::to_string(count) + "):", joined);
    });
  });
}

std::set<std::string> HighlightJS::languages() const {
  std::lock_guard lock(languagesMutex_);
  return languages_;
}

bool HighlightJS::supportsLanguage(std::string_view language) const {
  std::lock_guard lock(languagesMutex_);
  return languages_.count(std::string(language)) > 0;
}

std::optional<std::string> HighlightJS::highlight(const std::string& code, const std::optional<std::string>& language) {
  JSCContext* context = jsc_value_get_context(highlightJS_);
  Ref<JSCValue> source(newString(context, code));
  JSCValue* returned = nullptr;
  if (language && !language->empty()) {
    Ref<JSCValue> name(newString(context, *language));
    returned = jsc_value_object_invoke_method(highlightJS_, "highlight", JSC_TYPE_VALUE, name.get(), JSC_TYPE_VALUE,
                                              source.get(), G_TYPE_BOOLEAN, FALSE, G_TYPE_NONE);
  } else {
    returned = jsc_value_object_invoke_method(highlightJS_, "highlightAuto", JSC_TYPE_VALUE, source.get(), G_TYPE_NONE);
  }
  Ref<JSCValue> result(returned);
  // After an exception the engine hands back undefined: only an object has a value to read.
  if (result && jsc_value_is_object(result.get())) {
    Ref<JSCValue> value(jsc_value_object_get_property(result.get(), "value"));
    if (value && jsc_value_is_string(value.get())) return stringBytes(value.get());
  }
  console::error("could not highlight code:", describe(result.get()));
  return std::nullopt;
}

std::optional<AttributedString> HighlightJS::convertHTMLToAttributedString(std::string_view html,
                                                                         const HighlightJSTheme& theme) const {
  return ::convertHTMLToAttributedString(html, theme);
}

std::shared_ptr<DispatchWorkItem> HighlightJS::highlight(std::string code, std::optional<std::string> language,
                                                         HighlightJSThemePtr theme, DispatchQueue queue, Yield yield) {
  auto item = std::make_shared<DispatchWorkItem>([self = shared_from_this(), code = std::move(code),
                                                  language = std::move(language), theme = std::move(theme), queue,
                                                  yield = std::move(yield)] {
    std::optional<AttributedString> result;
    if (std::optional<std::string> html = self->highlight(code, language); html && theme) {
      result = self->convertHTMLToAttributedString(*html, *theme);
    }
    queue.async([yield, result = std::move(result)] { yield(result); });
  });
  Q.async(item);
  return item;
}
