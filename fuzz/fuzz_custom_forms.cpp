// Parses arbitrary bytes as a custom-forms text file; what it accepts must keep to its limits.
#include <cstddef>
#include <cstdint>
#include <span>

#include "forms/custom_forms.h"
#include "fuzz/fuzz_support.h"

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    const ks::CustomFormsRead read = ks::parse_custom_forms(data);
    if (read.result != ks::CustomFormsResult::Read) {
        ks::fuzz::require(read.forms.empty());
        return;
    }
    for (const ks::CustomFormDefinition& form : read.forms) {
        ks::fuzz::require(form.code >= ks::kCustomFormMinCode);
        ks::fuzz::require(!form.fields.empty() && form.fields.size() <= ks::kCustomFormMaxFields);
        ks::fuzz::require(form.name.size() <= ks::kCustomFormMaxNameLength);
        for (const ks::CustomFormField& field : form.fields)
            ks::fuzz::require(field.label.size() <= ks::kCustomFormMaxLabelLength);
    }
}
