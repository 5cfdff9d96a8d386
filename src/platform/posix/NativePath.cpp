#include "platform/posix/NativePath.h"

#include "platform/TextConversion.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace posix {

std::string NativePath(const char* path) {
    std::string native = path ? path : "";
    for (char& ch : native)
        if (ch == '\\')
            ch = '/';
    if (text::IsAscii(native))
        return native;
    std::u16string wide;
    text::AppendAnsiAsWide(wide, native);
    native.clear();
    text::AppendWideAsUtf8(native, wide);
    return native;
}

std::string AnsiPath(const std::string& nativePath) {
    if (text::IsAscii(nativePath))
        return nativePath;
    std::u16string wide;
    text::AppendUtf8AsWide(wide, nativePath);
    std::string ansi;
    text::AppendWideAsAnsi(ansi, wide);
    return ansi;
}

bool HasInvalidNameCharacter(const char* path) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(path); *p; ++p)
        if (*p < 0x20 || std::strchr("*?<>|\"", *p))
            return true;
    return false;
}

namespace {

// True when the folder that would hold the last component of the path exists.
bool ParentFolderExists(const std::string& nativePath) {
    std::string parent = nativePath;
    while (!parent.empty() && parent.back() == '/')
        parent.pop_back();
    size_t cut = parent.rfind('/');
    if (cut == std::string::npos)
        return true; // relative to the current folder
    parent.erase(cut == 0 ? 1 : cut);
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

DWORD Win32ErrorFromErrno(int error, const std::string& nativePath) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ParentFolderExists(nativePath) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return ERROR_DISK_FULL;
    case EFBIG:
        return ERROR_DISK_FULL;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EBUSY:
    case EAGAIN:
        return ERROR_SHARING_VIOLATION;
    case EIO:
        return ERROR_GEN_FAILURE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

void SetLastErrorFromErrno(int error, const std::string& nativePath) {
    SetLastError(Win32ErrorFromErrno(error, nativePath));
}

} // namespace posix
