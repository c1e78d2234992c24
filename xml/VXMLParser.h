#pragma once

#include <cstddef>

#include "kernel/base/VObject.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFolder.h"
#include "kernel/text/VString.h"

namespace nuvo {

class IFile;
class IXMLHandler;
class VFile;

// Option bits of VXMLParser::Parse.
namespace XMLParserOptions {
inline constexpr unsigned kValidationAlways = 1;
inline constexpr unsigned kValidationNever = 2;      // when kValidationAlways is clear; neither: automatic
inline constexpr unsigned kNamespaces = 4;
inline constexpr unsigned kLoadExternalDTD = 8;
inline constexpr unsigned kDefaultedAttributes = 16; // attributes only defaulted by the DTD are reported too
} // namespace XMLParserOptions

// Reads XML with a SAX parser and hands it to a stack of IXMLHandler objects, one per open
// element, starting with the caller's root handler. Every parse error and fatal error becomes a
// 'xmlc' 2 or 3 record ("message", "systemID", "publicID", "line", "column") on the current
// task's error context; parsing goes on as far as the parser allows. External entities resolve
// only to files inside an entities folder (the current handler's, then the parser's); URLs and
// paths outside the folder are never read, and entity expansion is limited.
// One parser object is used by one task at a time; the XML library is initialised once per
// process on first use.
class VXMLParser : public VObject {
public:
    VXMLParser();
    ~VXMLParser() override;
    VXMLParser(const VXMLParser&) = delete;
    VXMLParser& operator=(const VXMLParser&) = delete;

    // The file's platform path is the document's system id. True when no error was counted.
    [[nodiscard]] bool Parse(IFile* file, IXMLHandler* handler, unsigned options);
    // Bytes in memory, system id "frommem"; the document declares its encoding.
    [[nodiscard]] bool Parse(const void* data, size_t size, IXMLHandler* handler, unsigned options);
    // The string's UTF-16 code units, system id "frommem", read as UTF-16LE whatever the
    // document's declaration says.
    [[nodiscard]] bool Parse(const VString& text, IXMLHandler* handler, unsigned options);

    // Used when the current handler resolves nothing. folder is retained; null clears.
    void SetEntitiesLocalFolder(const VString& prefix, VFolder* folder);
    // The file for systemId in the parser's entities folder (retained for the caller), or null.
    VFile* ResolveEntity(const VString& systemId) const;
    // When folder is not null and systemId begins with prefix: the rest, '/'-separated names,
    // as a relative path inside folder, when it names an existing file (retained for the
    // caller). Null otherwise, and for any name that could leave the folder ("..", ".", an
    // empty name, a URL scheme).
    static VFile* ResolveEntityFromFolder(const VString& prefix, VFolder* folder, const VString& systemId);

    // Start and stop the XML library for the process. Parse calls Init itself; DeInit is for a
    // process that wants the library's memory back before it ends.
    [[nodiscard]] static bool Init();
    static void DeInit();

    bool GetReportDefaultedAttributes() const { return fReportDefaultedAttributes; }

private:
    bool _Parse(const void* data, size_t size, bool utf16, const VString& systemId, bool localFile,
                IXMLHandler* handler, unsigned options);

    VString fEntitiesPrefix;
    VRefPtr<VFolder> fEntitiesFolder;
    bool fReportDefaultedAttributes = false;
};

} // namespace nuvo
