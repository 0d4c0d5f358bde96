#pragma once
// Where each picture sits in the rendered icon strips: resource n in cell n - kFirstResource,
// kColumns cells to a row.
namespace ks::gui::atlas {
constexpr int kFirstResource = 200;
constexpr int kColumns = 16;
constexpr int kRows = 16;
constexpr int kCells = kColumns * kRows;
}  // namespace ks::gui::atlas
