#include "SwiftSyntaxCheck/SwiftSyntaxCheck.h"

#include <tree_sitter/api.h>

#include <memory>
#include <stdexcept>

extern "C" const TSLanguage* tree_sitter_swift(void);

namespace SwiftSyntaxCheck {
namespace {

struct ParserDeleter {
  void operator()(TSParser* parser) const { ts_parser_delete(parser); }
};
struct TreeDeleter {
  void operator()(TSTree* tree) const { ts_tree_delete(tree); }
};

struct Candidate {
  std::size_t offset = 0;
  std::string message;
};

void keepEarlier(std::optional<Candidate>& best, std::size_t offset, std::string message) {
  if (!best || offset < best->offset) best = Candidate{offset, std::move(message)};
}

/// Not allowed anywhere in Swift source.
bool isControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F; }

}  // namespace

std::string SyntaxProblem::description() const {
  return std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

std::optional<SyntaxProblem> firstSyntaxProblem(std::string_view source) {
  std::unique_ptr<TSParser, ParserDeleter> parser(ts_parser_new());
  if (!ts_parser_set_language(parser.get(), tree_sitter_swift())) {
    throw std::runtime_error("the Swift grammar's language version is not supported by libtree-sitter");
  }
  std::unique_ptr<TSTree, TreeDeleter> tree(
      ts_parser_parse_string(parser.get(), nullptr, source.data(), uint32_t(source.size())));
  if (!tree) throw std::runtime_error("tree-sitter did not parse the source");

  std::optional<Candidate> best;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (isControl((unsigned char)source[i])) {
      keepEarlier(best, i, "control character in source");
      break;
    }
  }

  // One pre-order walk over the whole tree.
  TSTreeCursor cursor = ts_tree_cursor_new(ts_tree_root_node(tree.get()));
  bool walking = true;
  while (walking) {
    TSNode node = ts_tree_cursor_current_node(&cursor);
    std::string_view type = ts_node_type(node);
    std::size_t start = ts_node_start_byte(node);
    if (best && start >= best->offset) break;  // nothing earlier can follow
    bool descend = true;
    if (ts_node_is_missing(node)) {
      keepEarlier(best, start, "missing " + std::string(type));
      descend = false;
    } else if (type == "ERROR") {
      keepEarlier(best, start, "unexpected text");
      descend = false;
    } else if (type == "line_string_literal") {
      std::string_view text = source.substr(start, ts_node_end_byte(node) - start);
      std::size_t lineBreak = text.find_first_of("\r\n");
      if (lineBreak != std::string_view::npos) {
        keepEarlier(best, start + lineBreak, "line break in a single-line string literal");
      }
      std::size_t tab = text.find('\t');
      if (tab != std::string_view::npos) keepEarlier(best, start + tab, "tab in a single-line string literal");
    }
    if (descend && ts_tree_cursor_goto_first_child(&cursor)) continue;
    while (!ts_tree_cursor_goto_next_sibling(&cursor)) {
      if (!ts_tree_cursor_goto_parent(&cursor)) {
        walking = false;
        break;
      }
    }
  }
  ts_tree_cursor_delete(&cursor);

  if (!best) return std::nullopt;
  SyntaxProblem problem;
  problem.message = best->message;
  problem.line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < best->offset && i < source.size(); ++i) {
    if (source[i] == '\n') {
      ++problem.line;
      lineStart = i + 1;
    }
  }
  problem.column = best->offset - lineStart + 1;
  return problem;
}

std::string sourceLine(std::string_view source, std::size_t line) {
  if (line == 0) return {};
  std::size_t start = 0;
  for (std::size_t n = 1; n < line; ++n) {
    std::size_t end = source.find('\n', start);
    if (end == std::string_view::npos) return {};
    start = end + 1;
  }
  std::size_t end = source.find('\n', start);
  return std::string(source.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

}  // namespace SwiftSyntaxCheck
