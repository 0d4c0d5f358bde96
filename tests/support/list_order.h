#pragma once
// The children of a folder in the order they were listed: the order in which an import, a
// conversion or the sample wallet stored them. The document gives them in sort order.
#include <algorithm>
#include <vector>

#include "core/wallet_document.h"

namespace ks::test {

inline std::vector<int> children_in_list_order(const WalletDocument& doc, int parent) {
    std::vector<int> children = doc.children_of(parent);
    std::sort(children.begin(), children.end());
    return children;
}

}  // namespace ks::test
