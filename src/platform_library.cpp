#include "platform_library.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform_files.h"

#if defined(_WIN32)

#include <windows.h>

const char library_path_separator = '\\';

void* open_library(const char* path, char*, size_t) {
    if (path == nullptr) return (void*)LoadLibraryA("avisynth");
    // --library names the file in UTF-8, like every path the runner takes.
    wchar_t* wide = wide_path(path);
    void* handle = wide != nullptr ? (void*)LoadLibraryW(wide) : nullptr;
    free(wide);
    return handle;
}

// Windows users meet the loader's search order in its own documentation.
void describe_missing_name(void*, const char*, char*, size_t) {}

void* find_symbol(void* handle, const char* name) { return (void*)GetProcAddress((HMODULE)handle, name); }

void close_library(void* handle) { FreeLibrary((HMODULE)handle); }

int loaded_library_path(void* handle, char* path, int size) {
    path[0] = '\0';
    // The loaded module itself: --library may have loaded another file name.
    HMODULE module = (HMODULE)handle;
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

#include <dlfcn.h>

const char library_path_separator = '/';

void* open_library(const char* path, char* problem, size_t problem_size) {
    if (path != nullptr) {
        void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* answer = dlerror();
            snprintf(problem, problem_size, "the loader answered: %s", answer ? answer : "");
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
    int n = snprintf(problem, problem_size, "tried");
    for (const char* name : names) {
        if (n > 0 && (size_t)n < problem_size)
            n += snprintf(problem + n, problem_size - (size_t)n, "%s %s", name == names[0] ? "" : ",", name);
    }
    if (n > 0 && (size_t)n < problem_size)
        snprintf(problem + n, problem_size - (size_t)n, "; the loader answered: %s", first_answer);
    return nullptr;
}

void* find_symbol(void* handle, const char* name) { return dlsym(handle, name); }

void describe_missing_name(void* handle, const char* name, char* problem, size_t problem_size) {
    Dl_info info;
    void* any = find_symbol(handle, "avs_create_script_environment");
    const char* file =
        any != nullptr && dladdr(any, &info) != 0 && info.dli_fname ? info.dli_fname : "the library";
    snprintf(problem, problem_size, "%s lacks %s, which the runner requires", file, name);
}

void close_library(void* handle) { dlclose(handle); }

int loaded_library_path(void* handle, char* path, int size) {
    path[0] = '\0';
    if (handle == nullptr || size < 1) return 0;
    // The file that holds a bound function is the file that was loaded.
    Dl_info info;
    void* symbol = find_symbol(handle, "avs_create_script_environment");
    if (symbol == nullptr || dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return 0;
    size_t n = strlen(info.dli_fname);
    if (n < 1 || n >= (size_t)size) return 0;
    memcpy(path, info.dli_fname, n + 1);
    return (int)n;
}

#endif
