#include "shell/JpegImage.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

// libjpeg's default handler calls exit(); jump back instead.
void OnJpegError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

void OnJpegMessage(j_common_ptr, int) {}

// Owns the decompressor so every path releases it.
struct Decompressor {
    jpeg_decompress_struct Info{};
    ErrorManager Errors{};
    bool Created = false;
    ~Decompressor() {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

} // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TBitmapImage& image,
                std::string* error) {
    image = TBitmapImage{};
    if (!data || size < 4) {
        if (error)
            *error = "no picture data";
        return false;
    }
    Decompressor d;
    d.Info.err = jpeg_std_error(&d.Errors.Base);
    d.Errors.Base.error_exit = OnJpegError;
    d.Errors.Base.emit_message = OnJpegMessage;
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    if (setjmp(d.Errors.Jump)) {
        if (error)
            *error = d.Errors.Message;
        return false;
    }
    jpeg_create_decompress(&d.Info);
    d.Created = true;
    jpeg_mem_src(&d.Info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&d.Info, TRUE) != JPEG_HEADER_OK) {
        if (error)
            *error = "not a JPEG picture";
        return false;
    }
    d.Info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d.Info);
    width = static_cast<int>(d.Info.output_width);
    height = static_cast<int>(d.Info.output_height);
    if (d.Info.output_components != 3 || width <= 0 || height <= 0) {
        if (error)
            *error = "unsupported JPEG layout";
        return false;
    }
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    while (d.Info.output_scanline < d.Info.output_height) {
        JSAMPROW row = pixels.data() +
                       static_cast<size_t>(d.Info.output_scanline) * static_cast<size_t>(width) * 3;
        jpeg_read_scanlines(&d.Info, &row, 1);
    }
    jpeg_finish_decompress(&d.Info);
    image.Width = width;
    image.Height = height;
    image.Rgb = std::move(pixels);
    return true;
}
