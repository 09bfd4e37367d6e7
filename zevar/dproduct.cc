#include "zevar/dproduct.h"

namespace {

const DWChar* const kEditorVariant0[] = {u"PDFEditor", nullptr};

// Only the editor's entry is filled: the host needs no other product.
const DProductInfo kEditor = {kProductEditor, u"VLXEditor", {u"Settings", nullptr, nullptr},
                              {kEditorVariant0, nullptr, nullptr}};
const DProductInfo kEmpty = {0, nullptr, {nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr}};

}  // namespace

const DProductInfo& DGetProductInfo(uint32_t product) {
  return product == kProductEditor ? kEditor : kEmpty;
}

bool DGetProductKeyPath(uint32_t product, DWString* key_path) {
  key_path->Empty();
  const DProductInfo& info = DGetProductInfo(product);
  const DWChar* const* names = info.variant_names[0];
  if (!names || !names[0] || !names[0][0]) return false;
  return key_path->Append(u"SOFTWARE\\Vellumix\\") && key_path->Append(names[0]);
}
