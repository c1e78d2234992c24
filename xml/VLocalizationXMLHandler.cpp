#include "xml/VLocalizationXMLHandler.h"

#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/text/VIntlMgr.h"
#include "kernel/values/VValueBag.h"
#include "xml/VLocalizationManager.h"

namespace nuvo {

namespace {

// Joins a nested group's name to its parent's when the parent is a "[section]" group.
const VString kCompositeSeparator("#}[{@");

// The platform word of this build; "mac" and "win" units are for the other builds.
const char* const kThisPlatform = "linux";

bool Is(const VString& text, const char* ascii)
{
    return text.EqualToUSASCIICString(ascii);
}

uint32_t PositiveNumber(const VString& text)
{
    int32_t number = text.GetLong();
    return number > 0 ? uint32_t(number) : 0;
}

// Platform conditions: a unit is skipped when its include list names a known platform but not
// this one, or its exclude list names this one. Lists without a known word do nothing.
class PlatformCondition {
public:
    void SetAttribute(const VString& name, const VString& value)
    {
        bool include = Is(name, "zq:includeIf");
        if (!include && !Is(name, "zq:excludeIf"))
            return;
        std::vector<VString> words;
        value.GetSubStrings(u' ', words, false, true);
        bool known = false;
        bool namesThis = false;
        for (const VString& word : words) {
            if (Is(word, "mac") || Is(word, "win") || Is(word, "linux"))
                known = true;
            if (Is(word, kThisPlatform))
                namesThis = true;
        }
        if (known && (include ? !namesThis : namesThis))
            fSkipped = true;
    }
    bool IsSkipped() const { return fSkipped; }

private:
    bool fSkipped = false;
};

// Collects the character data of one element ("source", "target") into its owner's string.
class TextCollector : public IXMLHandler {
public:
    TextCollector(IRefCountable* owner, VString* text) : fOwner(owner), fText(text) { fOwner->Retain(); }
    void SetText(const VString& text) override { fText->AppendString(text); }

protected:
    ~TextCollector() override { fOwner->Release(); }

private:
    IRefCountable* fOwner;
    VString* fText;
};

class GroupHandler;

// "alt-trans": alternative translations are not stored as texts; they only join the unit's
// bag, when the unit belongs to a group with a restype.
class AltTransHandler : public IXMLHandler {
public:
    explicit AltTransHandler(VValueBag* unitBag) : fUnitBag(unitBag) {}

    IXMLHandler* StartElement(const VString& name) override
    {
        if (Is(name, "target"))
            return new TextCollector(this, &fTarget);
        return nullptr;
    }
    void SetAttribute(const VString& name, const VString& value) override
    {
        fCondition.SetAttribute(name, value);
        if (fUnitBag)
            fBag->SetString(StPackedDictionaryKey(name), value);
    }
    void EndElement(const VString&) override
    {
        if (!fUnitBag || fCondition.IsSkipped())
            return;
        fBag->SetString(StPackedDictionaryKey("target"), fTarget);
        fUnitBag->AddElement(StPackedDictionaryKey("alt-trans"), fBag.Get());
    }

private:
    VRefPtr<VValueBag> fUnitBag;
    VRefPtr<VValueBag> fBag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    PlatformCondition fCondition;
    VString fTarget;
};

class TransUnitHandler : public IXMLHandler {
public:
    TransUnitHandler(VLocalizationManager* manager, bool overriding, GroupHandler* group);

    IXMLHandler* StartElement(const VString& name) override
    {
        if (Is(name, "source"))
            return new TextCollector(this, &fSource);
        if (Is(name, "target")) {
            fHasTarget = true;
            return new TextCollector(this, &fTarget);
        }
        if (Is(name, "alt-trans"))
            return new AltTransHandler(fBag.Get());
        return nullptr;
    }
    void SetAttribute(const VString& name, const VString& value) override
    {
        if (Is(name, "id"))
            fItemID = PositiveNumber(value);
        else if (Is(name, "resname"))
            fResName = value;
        fCondition.SetAttribute(name, value);
        if (fBag)
            fBag->SetString(StPackedDictionaryKey(name), value);
    }
    void EndElement(const VString& name) override;

protected:
    ~TransUnitHandler() override;

private:
    VLocalizationManager* fManager;
    bool fOverriding;
    GroupHandler* fGroup;   // retained; null outside groups
    VRefPtr<VValueBag> fBag; // only when the group has a bag
    PlatformCondition fCondition;
    uint32_t fItemID = 0;
    VString fResName;
    VString fSource;
    VString fTarget;
    bool fHasTarget = false;
};

// One handler serves a group and the groups nested in it, with one frame per open group.
class GroupHandler : public IXMLHandler {
public:
    struct Frame {
        VString name;
        uint32_t id = 0;
        VString restype;
        VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    };

    GroupHandler(VLocalizationManager* manager, bool overriding) : fManager(manager), fOverriding(overriding)
    {
        fFrames.emplace_back();
    }

    IXMLHandler* StartElement(const VString& name) override
    {
        if (Is(name, "group")) {
            uint32_t parentID = fFrames.back().id;
            fFrames.emplace_back();
            fFrames.back().id = parentID;
            Retain();
            return this;
        }
        if (Is(name, "trans-unit"))
            return new TransUnitHandler(fManager, fOverriding, this);
        return nullptr;
    }
    void SetAttribute(const VString& name, const VString& value) override
    {
        Frame& frame = fFrames.back();
        if (Is(name, "id")) {
            if (uint32_t id = PositiveNumber(value))
                frame.id = id;
        } else if (Is(name, "resname")) {
            if (!value.IsEmpty())
                frame.name = value;
        } else if (Is(name, "restype")) {
            frame.restype = value;
        }
        frame.bag->SetString(StPackedDictionaryKey(name), value);
    }
    void EndElement(const VString&) override
    {
        Frame& frame = fFrames.back();
        if (!frame.restype.IsEmpty() && !frame.name.IsEmpty()) {
            frame.bag->SetString(StPackedDictionaryKey("resname"), frame.name);
            fManager->InsertGroupBag(frame.name, frame.restype, frame.bag.Get(), fOverriding);
        }
        if (fFrames.size() > 1)
            fFrames.pop_back();
    }

    const std::vector<Frame>& GetFrames() const { return fFrames; }

private:
    VLocalizationManager* fManager;
    bool fOverriding;
    std::vector<Frame> fFrames;
};

TransUnitHandler::TransUnitHandler(VLocalizationManager* manager, bool overriding, GroupHandler* group)
    : fManager(manager), fOverriding(overriding), fGroup(RetainRefCountable(group))
{
    if (fGroup && !fGroup->GetFrames().back().restype.IsEmpty())
        fBag = VRefPtr<VValueBag>::Adopt(new VValueBag);
}

TransUnitHandler::~TransUnitHandler()
{
    ReleaseRefCountable(&fGroup);
}

void TransUnitHandler::EndElement(const VString&)
{
    if (fCondition.IsSkipped())
        return;
    // An empty target is an untranslated unit: its source serves.
    const VString& value = fHasTarget && !fTarget.IsEmpty() ? fTarget : fSource;
    const GroupHandler::Frame* frame = fGroup ? &fGroup->GetFrames().back() : nullptr;
    if (fBag) {
        fBag->SetString(StPackedDictionaryKey("target"), value);
        frame->bag->AddElement(StPackedDictionaryKey("trans-unit"), fBag.Get());
    }
    if (fItemID != 0 && frame != nullptr && frame->id != 0)
        fManager->InsertSTRSharpString(STRSharpCodes{frame->id, fItemID}, value, fOverriding);
    if (fResName.IsEmpty())
        return;

    VString key(fResName);
    if (fGroup) {
        const auto& frames = fGroup->GetFrames();
        if (frames.size() >= 2) {
            const VString& inner = frames.back().name;
            const VString& parent = frames[frames.size() - 2].name;
            if (!inner.IsEmpty() && parent.BeginsWithRawString(VString("["))
                && parent.EndsWithRawString(VString("]"))) {
                key = parent;
                key += kCompositeSeparator;
                key += inner;
                key += kCompositeSeparator;
                key += fResName;
            }
        }
    }
    fManager->InsertKeyedString(key, value, fOverriding);
    if (fGroup) {
        for (const auto& groupFrame : fGroup->GetFrames()) {
            if (!groupFrame.name.IsEmpty())
                fManager->InsertGroupString(groupFrame.name, fItemID, value, fOverriding);
        }
    }
}

} // namespace

VLocalizationXMLHandler::VLocalizationXMLHandler(VLocalizationManager* manager) : fManager(manager)
{
}

IXMLHandler* VLocalizationXMLHandler::StartElement(const VString& name)
{
    fInFileElement = Is(name, "file");
    bool wanted = fAcceptable || fAvoidLanguageChecking;
    if (Is(name, "group"))
        return wanted ? new GroupHandler(fManager, fOverriding) : nullptr;
    if (Is(name, "trans-unit"))
        return wanted ? new TransUnitHandler(fManager, fOverriding, nullptr) : nullptr;
    Retain();
    return this;
}

void VLocalizationXMLHandler::SetAttribute(const VString& name, const VString& value)
{
    if (!fInFileElement || !Is(name, "target-language"))
        return;
    int comparison = VIntlMgr::Compare2RFC3066LanguageCodes(fManager->GetRFC3066Code(), value);
    fAcceptable = comparison > 0;
    fOverriding = comparison == 4;
}

} // namespace nuvo
