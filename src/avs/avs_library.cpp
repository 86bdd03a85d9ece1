#include "avs/avs_library.h"

#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform.h"
#include "platform_files.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

AVS_Library* avs_library = nullptr;

static char load_problem[1024];
static avs_load_failure load_failure = AVS_LOAD_DONE;
static const char* missing_name = "";

const char* avs_load_problem(void) { return load_problem; }
avs_load_failure avs_load_failure_kind(void) { return load_failure; }
const char* avs_missing_name(void) { return missing_name; }

struct avs_slot {
    const char* name;
    size_t offset;
    int required;
};

#define AVS_REQUIRED_SLOT(name, result, parameters) {#name, offsetof(AVS_Library, name), 1},
#define AVS_OPTIONAL_SLOT(name, result, parameters) {#name, offsetof(AVS_Library, name), 0},

static const avs_slot avs_slots[] = {AVS_REQUIRED_FUNCTIONS(AVS_REQUIRED_SLOT)
                                         AVS_OPTIONAL_FUNCTIONS(AVS_OPTIONAL_SLOT)};

#if defined(_WIN32)

static const char path_separator = '\\';

static void* open_library(const char* path) {
    if (path == nullptr) return (void*)LoadLibraryA("avisynth");
    // --library names the file in UTF-8, like every path the runner takes.
    wchar_t* wide = wide_path(path);
    void* handle = wide != nullptr ? (void*)LoadLibraryW(wide) : nullptr;
    free(wide);
    return handle;
}

// Windows users meet the loader's search order in its own documentation.
static void describe_missing_name(void*, const char*) {}

static void* find_symbol(void* handle, const char* name) {
    return (void*)GetProcAddress((HMODULE)handle, name);
}

static void close_library(void* handle) { FreeLibrary((HMODULE)handle); }

int avs_loaded_library_path(char* path, int size) {
    path[0] = '\0';
    // The loaded module itself: --library may have loaded another file name.
    HMODULE module = avs_library != nullptr ? (HMODULE)avs_library->handle : nullptr;
    if (module == nullptr || size < 260) return 0;
    // 260 is the classic path limit: a result that fills the buffer was cut.
    wchar_t wide[260];
    DWORD n = GetModuleFileNameW(module, wide, 260);
    int bytes = n >= 1 && n <= 259
                    ? WideCharToMultiByte(CP_UTF8, 0, wide, (int)n, path, size - 1, nullptr, nullptr)
                    : 0;
    path[bytes > 0 ? bytes : 0] = '\0';
    return bytes > 0 ? bytes : 0;
}

#else

static const char path_separator = '/';

static void* open_library(const char* path) {
    if (path != nullptr) {
        void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* answer = dlerror();
            snprintf(load_problem, sizeof load_problem, "the loader answered: %s", answer ? answer : "");
        }
        return handle;
    }
#if defined(__APPLE__)
    static const char* const names[] = {"libavisynth.dylib"};
#else
    // The unversioned name first, then the interface versions that carry the
    // frame property API, newest first.
    static const char* const names[] = {"libavisynth.so",    "libavisynth.so.12", "libavisynth.so.11",
                                        "libavisynth.so.10", "libavisynth.so.9",  "libavisynth.so.8"};
#endif
    // The loader's answer to the first name is kept: later names are only
    // tried in case the unversioned link is missing.
    char first_answer[512] = "";
    for (const char* name : names) {
        void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) return handle;
        const char* answer = dlerror();
        if (first_answer[0] == '\0') snprintf(first_answer, sizeof first_answer, "%s", answer ? answer : "");
    }
    int n = snprintf(load_problem, sizeof load_problem, "tried");
    for (const char* name : names) {
        if (n > 0 && (size_t)n < sizeof load_problem)
            n += snprintf(load_problem + n, sizeof load_problem - (size_t)n, "%s %s",
                          name == names[0] ? "" : ",", name);
    }
    if (n > 0 && (size_t)n < sizeof load_problem)
        snprintf(load_problem + n, sizeof load_problem - (size_t)n, "; the loader answered: %s",
                 first_answer);
    return nullptr;
}

static void describe_missing_name(void* handle, const char* name) {
    Dl_info info;
    void* any = dlsym(handle, "avs_create_script_environment");
    const char* file =
        any != nullptr && dladdr(any, &info) != 0 && info.dli_fname ? info.dli_fname : "the library";
    snprintf(load_problem, sizeof load_problem, "%s lacks %s, which the runner requires", file, name);
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

AVS_Library* avs_load_library(const char* path) {
    avs_library = nullptr;
    load_problem[0] = '\0';
    load_failure = AVS_LOAD_NOT_LOADABLE;
    missing_name = "";
    // A bare file name is the file in the current directory: the loaders
    // would search their paths for it.
    char local_path[4096];
    if (path != nullptr && strpbrk(path, "/\\") == nullptr) {
        if (snprintf(local_path, sizeof local_path, ".%c%s", path_separator, path) >= (int)sizeof local_path)
            return nullptr;
        path = local_path;
    }
    // A named file the loader refuses is told apart from one that is not there.
    if (path != nullptr) {
        FILE* file = open_path(path, "rb");
        if (file == nullptr) {
            load_failure = AVS_LOAD_NO_FILE;
            snprintf(load_problem, sizeof load_problem, "%s", strerror(errno));
            return nullptr;
        }
        fclose(file);
    }
    AVS_Library* library = (AVS_Library*)calloc(1, sizeof(AVS_Library));
    if (library == nullptr) return nullptr;
    library->handle = open_library(path);
    if (library->handle == nullptr) {
        free(library);
        return nullptr;
    }
    for (const avs_slot& slot : avs_slots) {
        void* symbol = find_symbol(library->handle, slot.name);
        if (symbol == nullptr && slot.required) {
            bool avisynth = find_symbol(library->handle, "avs_create_script_environment") != nullptr;
            load_failure = avisynth ? AVS_LOAD_LACKS_NAME : AVS_LOAD_NOT_AVISYNTH;
            missing_name = slot.name;
            describe_missing_name(library->handle, slot.name);
            close_library(library->handle);
            free(library);
            return nullptr;
        }
        memcpy((char*)library + slot.offset, &symbol, sizeof symbol);
    }
    avs_library = library;
    load_failure = AVS_LOAD_DONE;
    return library;
}

void report_load_failure(const char* named_path) {
    if (named_path == nullptr) {
        // The search: the usual advice, and where the platform can say it,
        // what the loader answered.
        fprintf(stderr, "failed to load " AVS_LIBRARY_FILE ". Install " RUNNER_WIDTH
                        " AviSynth+ and make sure " AVS_LIBRARY_FILE " can be found.\n");
        if (load_problem[0] != '\0') fprintf(stderr, "%s\n", load_problem);
        return;
    }
    // --library named a file: what is wrong with it.
    switch (load_failure) {
    case AVS_LOAD_NO_FILE: fprintf(stderr, "failed to load %s: %s\n", named_path, load_problem); break;
    case AVS_LOAD_NOT_LOADABLE:
        fprintf(stderr, "failed to load %s: it is not a library a " RUNNER_WIDTH " program can load\n",
                named_path);
        if (load_problem[0] != '\0') fprintf(stderr, "%s\n", load_problem);
        break;
    case AVS_LOAD_NOT_AVISYNTH:
        fprintf(stderr, "failed to load %s: it loaded, but it is not AviSynth+ (it has no %s)\n", named_path,
                "avs_create_script_environment");
        break;
    default:
        fprintf(stderr, "failed to load %s: it is AviSynth, but it lacks %s, which the runner requires\n",
                named_path, missing_name);
        break;
    }
}

void avs_free_library(AVS_Library* library) {
    close_library(library->handle);
    free(library);
    if (avs_library == library) avs_library = nullptr;
}
