/* The C interface between the program and its two libraries, Res.so and
   Form.so (Res.dll and Form.dll on Windows). Plain C so either side can be
   rebuilt on its own. */
#ifndef VELMORA_PLUGIN_API_H
#define VELMORA_PLUGIN_API_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What the libraries export; everything else stays inside them. */
#ifdef _WIN32
#define VELMORA_PLUGIN_EXPORT __declspec(dllexport)
#else
#define VELMORA_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

/* Res.so: string `id` of the product table, or NULL when the table has none. */
typedef const char* (*VelmoraLoadStringFn)(unsigned id);
#define VELMORA_LOAD_STRING_SYMBOL "VelmoraLoadString"

/* Res.so: the named resource of the named type. Returns 1 and sets `data` and
   `size` when it exists, 0 otherwise. The bytes live as long as the library. */
typedef int (*VelmoraFindResourceFn)(const char* name, const char* type, const unsigned char** data,
                                     size_t* size);
#define VELMORA_FIND_RESOURCE_SYMBOL "VelmoraFindResource"

/* Product information handed to the About box. */
typedef struct VelmoraSoftInfo {
    const char* MakerName;
    const char* ProductName;
    const char* ResText2;
    const char* Version;
    const char* HomePage;
    const char* Email;
    const char* ResText7;
    const char* ProgramFolder;
} VelmoraSoftInfo;

/* Form.so: shows the About box modally over `owner` (a QWidget*, may be NULL)
   and returns when the user has closed it. */
typedef void (*ShowAboutFormFn)(void* owner, const VelmoraSoftInfo* info);
#define SHOW_ABOUT_FORM_SYMBOL "ShowAboutForm"

#ifdef __cplusplus
}
#endif

#endif
