#include "avs/avs_library.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

AVS_Library* avs_library = nullptr;

struct avs_slot {
    const char* name;
    size_t offset;
    int required;
};

#define AVS_REQUIRED_SLOT(name, result, parameters) {#name, offsetof(AVS_Library, name), 1},
#define AVS_OPTIONAL_SLOT(name, result, parameters) {#name, offsetof(AVS_Library, name), 0},

static const avs_slot avs_slots[] = {
    AVS_REQUIRED_FUNCTIONS(AVS_REQUIRED_SLOT) AVS_OPTIONAL_FUNCTIONS(AVS_OPTIONAL_SLOT)};

#if defined(_WIN32)

static void* open_library(void) { return (void*)LoadLibraryA("avisynth"); }

static void* find_symbol(void* handle, const char* name) {
    return (void*)GetProcAddress((HMODULE)handle, name);
}

static void close_library(void* handle) { FreeLibrary((HMODULE)handle); }

int avs_loaded_library_path(char* path, int size) {
    path[0] = '\0';
    HMODULE module = GetModuleHandleA("AviSynth.dll");
    if (module == nullptr || size < 260) return 0;
    // 260 is the classic path limit: a result that fills the buffer was cut.
    DWORD n = GetModuleFileNameA(module, path, 260);
    if (n < 1 || n > 259) {
        path[0] = '\0';
        return 0;
    }
    return (int)n;
}

#else

static void* open_library(void) {
#if defined(__APPLE__)
    static const char* const names[] = {"libavisynth.dylib"};
#else
    // The unversioned name first, then the interface versions that carry the
    // frame property API, newest first.
    static const char* const names[] = {"libavisynth.so",    "libavisynth.so.12",
                                        "libavisynth.so.11", "libavisynth.so.10",
                                        "libavisynth.so.9",  "libavisynth.so.8"};
#endif
    for (const char* name : names) {
        void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) return handle;
    }
    return nullptr;
}

static void* find_symbol(void* handle, const char* name) { return dlsym(handle, name); }

static void close_library(void* handle) { dlclose(handle); }

int avs_loaded_library_path(char* path, int size) {
    path[0] = '\0';
    if (avs_library == nullptr || size < 1) return 0;
    // The file that holds a bound function is the file that was loaded.
    Dl_info info;
    void* symbol = find_symbol(avs_library->handle, "avs_create_script_environment");
    if (symbol == nullptr || dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return 0;
    size_t n = strlen(info.dli_fname);
    if (n < 1 || n >= (size_t)size) return 0;
    memcpy(path, info.dli_fname, n + 1);
    return (int)n;
}

#endif

AVS_Library* avs_load_library(void) {
    avs_library = nullptr;
    AVS_Library* library = (AVS_Library*)calloc(1, sizeof(AVS_Library));
    if (library == nullptr) return nullptr;
    library->handle = open_library();
    if (library->handle == nullptr) {
        free(library);
        return nullptr;
    }
    for (const avs_slot& slot : avs_slots) {
        void* symbol = find_symbol(library->handle, slot.name);
        if (symbol == nullptr && slot.required) {
            close_library(library->handle);
            free(library);
            return nullptr;
        }
        memcpy((char*)library + slot.offset, &symbol, sizeof symbol);
    }
    avs_library = library;
    return library;
}

void avs_free_library(AVS_Library* library) {
    close_library(library->handle);
    free(library);
    if (avs_library == library) avs_library = nullptr;
}
