#pragma once
// User-visible texts by numeric id, from the loaded language module.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/text_ids.h"

namespace ks {

class TextSource {
  public:
    virtual ~TextSource() = default;
    virtual std::optional<std::u16string> find(uint32_t id) const = 0;
};

// The text of `id` from the installed source: "?" when the source lacks it, "*" when no
// source is installed.
std::u16string load_string(uint32_t id);

// Installs the process-wide source (not owned); nullptr removes it.
void set_text_source(const TextSource* source);
const TextSource* text_source();

class ScopedTextSource {
  public:
    explicit ScopedTextSource(const TextSource* source);
    ~ScopedTextSource();
    ScopedTextSource(const ScopedTextSource&) = delete;
    ScopedTextSource& operator=(const ScopedTextSource&) = delete;

  private:
    const TextSource* previous_;
};

}  // namespace ks
