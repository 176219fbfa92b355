// Taking the program's own value options out of the command line.
#include "app/value_options.h"

#include <string_view>

#include <platform/i18n/i18n.h>

namespace {

std::string* ValueOf(std::string_view arg, std::initializer_list<ValueOption> options) {
    for (const ValueOption& option : options)
        if (arg == option.name) return option.value;
    return nullptr;
}

} // namespace

bool TakeValueOptions(int& argc, char** argv, std::initializer_list<ValueOption> options,
                      const char* needsValue, std::string& error) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string* target = ValueOf(argv[i], options);
        if (!target) {
            argv[kept++] = argv[i];
            continue;
        }
        // An empty value is no value: it would name no file, folder or number.
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            error = FormatText(needsValue, argv[i]);
            return false;
        }
        if (!target->empty()) {
            error = FormatText(_("%s given twice"), argv[i]);
            return false;
        }
        *target = argv[++i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return true;
}
