// gettext with the catalogue found beside the executable.
#include <platform/i18n/i18n.h>

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <locale.h>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

constexpr const char kDomain[] = "koltrep";

std::string ExecutableFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string folder(path, static_cast<size_t>(length));
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

// The English catalogue is the one every build ships, so it tells where the catalogues are.
bool HoldsCatalogues(const std::string& folder) {
    const std::string mo = folder + "/en/LC_MESSAGES/" + kDomain + ".mo";
    return access(mo.c_str(), R_OK) == 0;
}

std::string CatalogueFolder() {
    const std::string exe = ExecutableFolder();
    if (exe.empty()) return {};
    for (const char* below : {"/../share/locale", "/locale"}) {
        const std::string folder = exe + below;
        if (HoldsCatalogues(folder)) return folder;
    }
    return {};
}

bool Bind() {
    std::setlocale(LC_MESSAGES, "");
    // The character type too, or the C library's own texts (strerror's reasons) are converted
    // to ASCII and a Japanese reason comes out as question marks. Only for this thread: the
    // process-wide character type stays C, since Xlib takes it to encode the window's title
    // (a UTF-8 one is a property type that tools and window managers do not read). Numbers
    // stay C either way.
    if (locale_t user = newlocale(LC_CTYPE_MASK | LC_MESSAGES_MASK, "", locale_t{}))
        uselocale(user);
    const std::string folder = CatalogueFolder();
    // Without a catalogue of our own, gettext's default folder (the system's) is still asked.
    if (!folder.empty()) bindtextdomain(kDomain, folder.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
    textdomain(kDomain);
    return true;
}

} // namespace

void InitMessages() {
    static const bool bound = Bind();
    (void)bound;
}

const char* Translate(const char* msgid) {
    if (msgid == nullptr || msgid[0] == '\0') return msgid; // gettext("") is the header
    InitMessages();
    return dgettext(kDomain, msgid);
}

const char* TranslatePlural(const char* one, const char* many, unsigned long n) {
    InitMessages();
    return dngettext(kDomain, one, many, n);
}

std::string FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}
