/* Res.so: the product texts and the splash picture. */
#include <strings.h>

#include "plugins/PluginApi.h"

extern const unsigned char velmora_splash_jpeg[];
extern const size_t velmora_splash_jpeg_size;

static const char* const kStrings[] = {
    /* 0 maker */ "Dravik Soft",
    /* 1 product */ "Velmora",
    /* 2 */
    "音视频批量转换为音频 · Batch conversion of audio and video files to AMR, AAC, "
    "MP3, AC3, M4A, OGG and WAV",
    /* 3 (the program reads its version from its own file) */ "1.3.0.0",
    /* 4 home page */ "https://www.draviksoft.com/velmora/",
    /* 5 e-mail */ "support@draviksoft.com",
    /* 6 */ NULL,
    /* 7 */ "Copyright © 2026 Dravik Soft. All rights reserved.",
};

VELMORA_PLUGIN_EXPORT const char* VelmoraLoadString(unsigned id) {
    if (id >= sizeof kStrings / sizeof kStrings[0])
        return NULL;
    return kStrings[id];
}

VELMORA_PLUGIN_EXPORT int VelmoraFindResource(const char* name, const char* type,
                                              const unsigned char** data, size_t* size) {
    if (!name || !type || !data || !size)
        return 0;
    if (strcasecmp(name, "ImgFlash") != 0 || strcasecmp(type, "jpeg") != 0)
        return 0;
    *data = velmora_splash_jpeg;
    *size = velmora_splash_jpeg_size;
    return 1;
}
