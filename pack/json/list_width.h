// Serialized lists at a chosen integer width. TFASTMEMLIST always writes
// the smallest width that holds the count and every length, but a reader
// accepts any of 1, 2, 4 and 8; keeping the width a list was written with
// lets a package be rebuilt byte for byte.
#ifndef QRL_PACK_JSON_LIST_WIDTH_H_
#define QRL_PACK_JSON_LIST_WIDTH_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fastmemlist/list_view.h"

// The width TFASTMEMLIST writes for these items.
uint8_t NaturalWidth(const std::vector<std::string>& items);
uint8_t NaturalWidth(const ListView& view);

// True when `width` is 1, 2, 4 or 8 and holds the count and every length.
bool WidthHolds(uint8_t width, const std::vector<std::string>& items);

// The serialized form of `items` at `width`, which must hold them.
std::string EncodeList(const std::vector<std::string>& items, uint8_t width);
// The same at the natural width.
std::string EncodeList(const std::vector<std::string>& items);

// The items of a parsed list, copied.
std::vector<std::string> ListItems(const ListView& view);

#endif  // QRL_PACK_JSON_LIST_WIDTH_H_
