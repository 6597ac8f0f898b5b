// Bracketed debugging descriptions: "<" type name and fields ">".
#pragma once

#include <string>

#include "Platform/TypeName.h"

class SmartDescription {
 public:
  virtual ~SmartDescription() = default;

  /// The name of the receiver's dynamic type without qualification, generic arguments included.
  virtual std::string descriptionPrefix() const { return Fennix::typeName(typeid(*this)); }
  /// Appends the receiver's fields, each beginning with a blank.
  virtual void appendToDescription(std::string& description) const { (void)description; }

  /// "<", the prefix, the appended fields and ">".
  std::string description() const {
    std::string text = "<";
    text += descriptionPrefix();
    appendToDescription(text);
    text += ">";
    return text;
  }
};
