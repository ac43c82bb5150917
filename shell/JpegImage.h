// A decoded picture: 8-bit RGB rows, top first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TBitmapImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb; // Width * Height * 3 bytes
    bool Empty() const { return Width <= 0 || Height <= 0; }
};

// Decodes a JPEG at its natural size. False (and `error` set) for bytes that
// are no JPEG or are damaged; never aborts the program.
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TBitmapImage& image,
                std::string* error);
