#include "platform/texts.h"

namespace ks {
namespace {
const TextSource* g_source = nullptr;
}

std::u16string load_string(uint32_t id) {
    if (g_source == nullptr) return u"*";
    auto text = g_source->find(id);
    return text ? *text : u"?";
}

void set_text_source(const TextSource* source) {
    g_source = source;
}
const TextSource* text_source() {
    return g_source;
}

ScopedTextSource::ScopedTextSource(const TextSource* source) : previous_(g_source) {
    g_source = source;
}
ScopedTextSource::~ScopedTextSource() {
    g_source = previous_;
}

}  // namespace ks
