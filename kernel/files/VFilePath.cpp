#include "kernel/files/VFilePath.h"

#include <string>
#include <string_view>
#include <vector>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/text/FileNameText.h"

namespace nuvo {

namespace {

using View = std::u16string_view;
constexpr UniChar kSep = VFilePath::kSeparator;

View ViewOf(const VString& text)
{
    if (text.GetCPointer() == nullptr)
        return View();
    return View(text.GetCPointer(), size_t(text.GetLength()));
}

VString StringOf(View text)
{
    if (text.empty())
        return VString();
    return VString(text.data(), int32_t(text.size()));
}

// Start and end (exclusive) of the last component: for a folder text the component before the
// trailing separator, for a text without any separator the whole text.
void LastComponentBounds(View text, size_t& start, size_t& end)
{
    end = text.size();
    if (end > 0 && text[end - 1] == kSep)
        --end;
    size_t sep = end == 0 ? View::npos : text.rfind(kSep, end - 1);
    start = sep == View::npos ? 0 : sep + 1;
}

View LastComponent(View text)
{
    size_t start, end;
    LastComponentBounds(text, start, end);
    return text.substr(start, end - start);
}

View ExtensionOf(View component)
{
    size_t dot = component.rfind(u'.');
    if (dot == View::npos || dot + 1 == component.size())
        return View();
    return component.substr(dot + 1);
}

View WithoutExtension(View component)
{
    size_t dot = component.rfind(u'.');
    return dot == View::npos ? component : component.substr(0, dot);
}

// Lexical clean-up of a full path: repeated separators collapse, "." goes, ".." removes the
// component before it. False for a text that is empty, relative, holds a NUL or climbs above
// the root. A text ending with a separator, "." or ".." names a folder.
bool CleanUp(View text, std::u16string& out)
{
    if (text.empty() || text.front() != kSep || text.find(u'\0') != View::npos)
        return false;

    std::vector<View> components;
    bool isFolder = false;
    size_t pos = 1;
    for (;;) {
        size_t sep = text.find(kSep, pos);
        View piece = text.substr(pos, sep == View::npos ? View::npos : sep - pos);
        bool last = sep == View::npos;
        if (piece.empty() || piece == u".") {
            isFolder = last;
        } else if (piece == u"..") {
            if (components.empty())
                return false;
            components.pop_back();
            isFolder = last;
        } else {
            components.push_back(piece);
            isFolder = !last;
        }
        if (last)
            break;
        pos = sep + 1;
    }

    out.assign(1, kSep);
    for (size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            out.push_back(kSep);
        out.append(components[i]);
    }
    if (isFolder && !components.empty())
        out.push_back(kSep);
    return true;
}

// The components of a clean, valid path, the trailing separator excluded.
std::vector<View> SplitComponents(View text)
{
    std::vector<View> components;
    size_t pos = 1;
    while (pos < text.size()) {
        size_t sep = text.find(kSep, pos);
        if (sep == View::npos)
            sep = text.size();
        components.push_back(text.substr(pos, sep - pos));
        pos = sep + 1;
    }
    return components;
}

bool IsAcceptableName(View name)
{
    return !name.empty() && name != u"." && name != u".." && name.find(kSep) == View::npos
        && name.find(u'\0') == View::npos;
}

} // namespace

VFilePath::VFilePath(const VString& text, FilePathStyle style, bool)
{
    FromFullPath(text, style);
}

VFilePath::VFilePath(const VFilePath& base, const VString& relative, FilePathStyle style, bool relativeOnly)
{
    FromRelativePath(base, relative, style, relativeOnly);
}

void VFilePath::_SetText(const VString& text)
{
    std::u16string clean;
    if (CleanUp(ViewOf(text), clean)) {
        fPath = StringOf(clean);
        fIsValid = true;
    } else {
        fPath = text;
        fIsValid = false;
    }
}

VFilePath& VFilePath::FromFullPath(const VString& text, FilePathStyle, bool)
{
    // Both styles are the POSIX form on this platform; only the clean-up applies.
    _SetText(text);
    return *this;
}

VFilePath& VFilePath::FromRelativePath(const VFilePath& base, const VString& relative, FilePathStyle style,
                                       bool relativeOnly)
{
    View rel = ViewOf(relative);
    if (style == FilePathStyle::Posix) {
        if (relativeOnly) {
            if (!base.IsFolder()) {
                Clear();
                return *this;
            }
        } else if (!rel.empty() && rel.front() == kSep) {
            _SetText(relative);
            return *this;
        }
    }
    // A leading separator in relative doubles the base's last one, which the clean-up
    // collapses: the text stays below base.
    VString joined(base.fPath);
    joined.AppendString(relative);
    _SetText(joined);
    return *this;
}

void VFilePath::Clear()
{
    fPath.Clear();
    fIsValid = false;
}

bool VFilePath::IsFolder() const
{
    return fIsValid && !fPath.IsEmpty() && fPath.GetUniChar(fPath.GetLength()) == kSep;
}

bool VFilePath::IsFile() const
{
    return fIsValid && !fPath.IsEmpty() && fPath.GetUniChar(fPath.GetLength()) != kSep;
}

void VFilePath::GetPosixPath(VString& out) const
{
    if (fIsValid)
        out.FromString(fPath);
    else
        out.Clear();
}

VFilePath VFilePath::FromPosixBytes(const std::string& bytes)
{
    return VFilePath(FileNameBytesToString(bytes), FilePathStyle::Posix);
}

std::string VFilePath::GetPosixBytes() const
{
    return fIsValid ? FileNameStringToBytes(fPath) : std::string();
}

void VFilePath::GetPath(VString& out, FilePathStyle style) const
{
    if (style == FilePathStyle::Posix)
        GetPosixPath(out);
    else
        GetPath(out);
}

void VFilePath::GetName(VString& out) const
{
    out = StringOf(LastComponent(ViewOf(fPath)));
}

void VFilePath::GetExtension(VString& out) const
{
    out = StringOf(ExtensionOf(LastComponent(ViewOf(fPath))));
}

void VFilePath::GetFileName(VString& out, bool withExtension) const
{
    if (!IsFile()) {
        out.Clear();
        return;
    }
    View name = LastComponent(ViewOf(fPath));
    out = StringOf(withExtension ? name : WithoutExtension(name));
}

void VFilePath::GetFolderName(VString& out, bool withExtension) const
{
    if (!IsFolder()) {
        out.Clear();
        return;
    }
    View name = LastComponent(ViewOf(fPath));
    out = StringOf(withExtension ? name : WithoutExtension(name));
}

bool VFilePath::MatchExtension(const VString& extension, bool diacritical) const
{
    if (!fIsValid)
        return false;
    View wanted = ViewOf(extension);
    if (!wanted.empty() && wanted.front() == u'.')
        wanted.remove_prefix(1);
    View own = ExtensionOf(LastComponent(ViewOf(fPath)));
    if (own.empty() || wanted.empty())
        return own.empty() && wanted.empty();
    return StringOf(own).EqualToString(StringOf(wanted), diacritical);
}

bool VFilePath::IsChildOf(const VFilePath& parent) const
{
    return IsSameOrChildOf(parent) && !fPath.EqualToString(parent.fPath, false);
}

bool VFilePath::IsSameOrChildOf(const VFilePath& parent) const
{
    return fIsValid && parent.IsFolder() && fPath.BeginsWith(parent.fPath, false);
}

bool VFilePath::GetParent(VFilePath& out) const
{
    out = *this;
    out.ToParent();
    if (!out.fIsValid)
        out.Clear(); // an invalid path would otherwise come back unchanged
    return out.fIsValid;
}

bool VFilePath::GetFolder(VFilePath& out) const
{
    out = *this;
    out.ToFolder();
    if (!out.fIsValid)
        out.Clear();
    return out.fIsValid;
}

bool VFilePath::HasParent() const
{
    // Every valid path but the root has one.
    return fIsValid && fPath.GetLength() > 1;
}

int32_t VFilePath::GetDepth() const
{
    if (!fIsValid)
        return 0;
    return int32_t(SplitComponents(ViewOf(fPath)).size());
}

bool VFilePath::GetRelativePath(const VFilePath& base, VString& out) const
{
    out.Clear();
    if (!fIsValid || !base.IsFolder())
        return false;
    std::vector<View> own = SplitComponents(ViewOf(fPath));
    std::vector<View> from = SplitComponents(ViewOf(base.fPath));
    size_t common = 0;
    while (common < own.size() && common < from.size()
           && StringOf(own[common]).EqualToString(StringOf(from[common]), false))
        ++common;

    std::u16string text;
    for (size_t i = common; i < from.size(); ++i)
        text.append(u"../");
    for (size_t i = common; i < own.size(); ++i) {
        text.append(own[i]);
        if (i + 1 < own.size() || IsFolder())
            text.push_back(kSep);
    }
    out = StringOf(text);
    return true;
}

bool VFilePath::GetRelativePosixPath(const VFilePath& base, VString& out) const
{
    return GetRelativePath(base, out);
}

VFilePath& VFilePath::ToSubFolder(const VString& name)
{
    if (IsFolder()) {
        VString text(fPath);
        text.AppendString(name);
        text.AppendUniChar(kSep);
        _SetText(text);
    }
    return *this;
}

VFilePath& VFilePath::ToSubFile(const VString& name)
{
    if (IsFolder()) {
        VString text(fPath);
        text.AppendString(name);
        _SetText(text);
    }
    return *this;
}

VFilePath& VFilePath::ToFolder()
{
    if (fIsValid) {
        View text = ViewOf(fPath);
        size_t sep = text.rfind(kSep);
        if (sep == View::npos)
            Clear();
        else if (sep + 1 < text.size())
            fPath = StringOf(text.substr(0, sep + 1));
    }
    return *this;
}

VFilePath& VFilePath::ToParent()
{
    if (fIsValid) {
        View text = ViewOf(fPath);
        if (!text.empty() && text.back() == kSep)
            text.remove_suffix(1);
        size_t sep = text.rfind(kSep);
        if (sep == View::npos)
            Clear();
        else
            fPath = StringOf(text.substr(0, sep + 1));
    }
    return *this;
}

bool VFilePath::_ReplaceLastComponent(const VString& component)
{
    View text = ViewOf(fPath);
    size_t start, end;
    LastComponentBounds(text, start, end);
    if (start == end)
        return false;   // the root has no name to replace
    View name = ViewOf(component);
    if (!IsAcceptableName(name)) {
        _ThrowError(VE_FILE_BAD_NAME);
        return false;
    }
    std::u16string result(text.substr(0, start));
    result.append(name);
    result.append(text.substr(end));
    fPath = StringOf(result);
    return true;
}

bool VFilePath::_SetLastName(const VString& name, bool withExtension)
{
    VString component(name);
    if (!withExtension) {
        // name has no extension of its own: the current one is put back after it.
        VString extension;
        GetExtension(extension);
        if (!extension.IsEmpty()) {
            component.AppendUniChar(u'.');
            component.AppendString(extension);
        }
    }
    return _ReplaceLastComponent(component);
}

bool VFilePath::SetFolderName(const VString& name, bool withExtension)
{
    return IsFolder() && _SetLastName(name, withExtension);
}

bool VFilePath::SetFileName(const VString& name, bool withExtension)
{
    return IsFile() && _SetLastName(name, withExtension);
}

bool VFilePath::SetName(const VString& name)
{
    if (!fIsValid)
        return false;
    return _ReplaceLastComponent(name);
}

bool VFilePath::SetExtension(const VString& extension)
{
    if (!fIsValid)
        return false;
    View ext = ViewOf(extension);
    if (!ext.empty() && ext.front() == u'.')
        ext.remove_prefix(1);
    if (ext.find(kSep) != View::npos || ext.find(u'\0') != View::npos) {
        _ThrowError(VE_FILE_BAD_NAME);
        return false;
    }
    std::u16string component(WithoutExtension(LastComponent(ViewOf(fPath))));
    if (!ext.empty()) {
        component.push_back(u'.');
        component.append(ext);
    }
    return _ReplaceLastComponent(StringOf(component));
}

bool VFilePath::SetFileExtension(const VString& extension)
{
    return IsFile() && SetExtension(extension);
}

bool VFilePath::SetFolderExtension(const VString& extension)
{
    return IsFolder() && SetExtension(extension);
}

bool VFilePath::operator==(const VFilePath& other) const
{
    return fIsValid == other.fIsValid && fPath.EqualToStringRaw(other.fPath);
}

void VFilePath::DebugDump(VString& out) const
{
    out.AppendString(fPath);
    if (!fIsValid)
        out.AppendCString(" (not valid)");
}

} // namespace nuvo
