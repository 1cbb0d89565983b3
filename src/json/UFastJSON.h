// The program's JSON document model: a tree of nodes built by parsing a text,
// navigated and changed by name and index, written back as indented text.
//
// The parser is lenient and works by splitting: a text is cut at its
// top-level separators, the pieces are trimmed and parsed again, recursively,
// and the kind of each piece is decided from its first and last characters
// (see UJsonText.h). Strings are UTF-8 inside; files carry "\u" escapes for
// everything beyond ASCII (RFC 8259 section 7).
//
// Every node failure is raised as EJsonError whose message is
// "<ClassName>specific text", e.g. <TJsonValue>"Town" parse error: abc ..
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "UErrors.h"

namespace qm {

// A node failure; the message carries the node's class name in front.
// "InvalidHexNumber" is raised with that message alone.
class EJsonError : public EQuillmarkError {
public:
    using EQuillmarkError::EQuillmarkError;
};

// An element index outside 0..Count-1 (the collection's own index error).
class EListError : public EQuillmarkError {
public:
    explicit EListError(int index);
};

// Platform text of the collection index error; %d is the index asked for.
inline constexpr std::string_view kListIndexErrorFormat =
    "Der Index der Liste überschreitet das Maximum (%d)";

// The kinds of a value, in this order; the names appear in messages.
enum class TJsonKind { jvNone, jvNull, jvString, jvNumber, jvBoolean, jvObject, jvArray };
std::string_view KindName(TJsonKind kind) noexcept;

// A value of one kind used as another: `Name` is the pair's name ("" for an
// element), `Found` what the value is, `Wanted` what was asked for. The
// message is the node error's ("<TJsonValue>"name" value type error: ...").
class EJsonTypeError : public EJsonError {
public:
    EJsonTypeError(const std::string& message, std::string name, TJsonKind found, TJsonKind wanted)
        : EJsonError(message), Name(std::move(name)), Found(found), Wanted(wanted) {}
    std::string Name;
    TJsonKind Found;
    TJsonKind Wanted;
};

// What the root of a document is.
enum class TJsonStructType { jsNone, jsArray, jsObject };

// Deepest nesting of objects and arrays that parsing accepts; deeper text is
// a parse error (so hostile input can neither exhaust the stack nor make a
// parse cost much more than its size: a record nests four levels deep).
inline constexpr int kMaxJsonDepth = 64;

// Indentation and line breaks of the written form. Without a formatter every
// operation writes nothing and the output is compact.
class TJSONFormatter {
public:
    // `level` may be any value; levels 1..4 indent by that many spaces, 5 by
    // 6, 6 by 7; 0, negative levels and levels above 6 indent by nothing.
    TJSONFormatter(std::string lineBreak, int level) : LineBreak(std::move(lineBreak)), Level(level) {}
    virtual ~TJSONFormatter() = default;

    std::string LineBreak;
    int Level;

    // The spaces written for `level` (see the constructor).
    virtual std::string_view Indentation(int level) const noexcept;

    void Deeper() noexcept { ++Level; }
    void Break(std::string& out) const { out += LineBreak; }
    void BreakIndent(std::string& out) const;
    void BreakShallower(std::string& out);
    void IndentOnly(std::string& out) const;
};

// Creates a formatter from a line break and a level ("formatter class").
using TJSONFormatterClass = std::unique_ptr<TJSONFormatter> (*)(std::string lineBreak, int level);
std::unique_ptr<TJSONFormatter> CreateStandardFormatter(std::string lineBreak, int level);

class TJsonValue;
class TJsonScanMemo;
class TJsonArray;
class TJsonObject;
class TJsonPair;

// Abstract base of every node. A node belongs to its Owner (none for a
// document), which frees it; nodes are neither copied nor moved (only a
// whole document moves), Assign copies deeply.
class TJsonBase {
public:
    explicit TJsonBase(TJsonBase* owner) noexcept : Owner(owner) {}
    TJsonBase(const TJsonBase&) = delete;
    TJsonBase& operator=(const TJsonBase&) = delete;
    virtual ~TJsonBase() = default;

    // Replaces the node's content by the parsed text. Raises EJsonError on a
    // text that is not a valid node; the nodes built so far stay.
    virtual void Parse(std::string_view text);
    // Text form: as the file form, but objects always start with IndentOnly
    // and arrays break before every element. `formatter` may be null.
    virtual std::string ToText(TJSONFormatter* formatter) const;
    // File form, appended to `out`; "position 0" means `out` is empty.
    // `formatter` may be null (compact output).
    virtual void WriteToStream(std::string& out, TJSONFormatter* formatter) const;
    // Clears the node and copies `source` deeply. Raises the assign error for
    // an unsuitable source or none.
    virtual void Assign(const TJsonBase* source) = 0;

    virtual std::string_view ClassName() const noexcept = 0;

    // Name of the nearest TJsonPair among the owners ("" when there is none).
    std::string PairName() const;

    TJsonBase* Owner;

protected:
    // Parse inside a text whose objects and arrays already nest `depth` deep
    // (0..kMaxJsonDepth). `memo` remembers the regions that earlier levels
    // of the same parse have skipped; `text` lies in the text it belongs to.
    virtual void ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) = 0;
    // Text form and file form share one writer; `textForm` picks the form.
    virtual void Write(std::string& out, TJSONFormatter* formatter, bool textForm) const = 0;

    static void ParseChild(TJsonBase& node, std::string_view text, int depth, TJsonScanMemo& memo) {
        node.ParseNested(text, depth, memo);
    }
    static void WriteChild(const TJsonBase& node, std::string& out, TJSONFormatter* formatter, bool textForm) {
        node.Write(out, formatter, textForm);
    }

    // The trimmed text between the brackets `open` and `close` of a
    // container's text; raises this node's parse error when the text is not
    // bracketed so or nests deeper than kMaxJsonDepth.
    std::string_view BracketedInner(std::string_view text, int depth, char open, char close) const;

    // "<ClassName>" + specific.
    std::string ErrorText(std::string_view specific) const;
    [[noreturn]] void RaiseError(std::string_view specific) const;
    [[noreturn]] void RaiseParseError(std::string_view text) const;
    [[noreturn]] void RaiseAssignError(const TJsonBase* source) const;
};

// An ordered list of owned values.
class TJsonArray final : public TJsonBase {
public:
    using TJsonBase::TJsonBase;

    // Accepts only an array.
    void Assign(const TJsonBase* source) override;
    std::string_view ClassName() const noexcept override { return "TJsonArray"; }

    int Count() const noexcept { return static_cast<int>(Items.size()); }
    // Element `index`; raises EListError outside 0..Count-1.
    TJsonValue& ItemAt(int index) const;
    // Appends a jvNone value and returns it.
    TJsonValue& AddItem();
    void Clear() noexcept { Items.clear(); }

protected:
    void ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) override;
    void Write(std::string& out, TJSONFormatter* formatter, bool textForm) const override;

private:
    friend class TJsonValue;
    // Takes the elements of `from` over (a copy made before this array).
    void Adopt(TJsonArray& from) noexcept;

    std::vector<std::unique_ptr<TJsonValue>> Items;
};

// An ordered list of owned pairs; names may repeat, look-ups find the first.
class TJsonObject final : public TJsonBase {
public:
    using TJsonBase::TJsonBase;

    // Accepts only an object.
    void Assign(const TJsonBase* source) override;
    std::string_view ClassName() const noexcept override { return "TJsonObject"; }

    int Count() const noexcept { return static_cast<int>(Pairs.size()); }
    // Pair `index`; raises EListError outside 0..Count-1.
    TJsonPair& PairAt(int index) const;
    // Index of the first pair whose name equals `name` ignoring ASCII letter
    // case, or -1.
    int IndexOfName(std::string_view name) const noexcept;
    // Appends a pair of that name with a jvNone value and returns it.
    TJsonPair& AddPair(std::string_view name);
    // Value of the first pair named `name`. A missing name is appended with a
    // jvNone value when AutoAdd is set (the document changes); otherwise
    // raises "<TJsonObject>%s not found".
    TJsonValue& ValueOf(std::string_view name);
    void Clear() noexcept { Pairs.clear(); }

    bool AutoAdd = true;

protected:
    void ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) override;
    void Write(std::string& out, TJSONFormatter* formatter, bool textForm) const override;

private:
    friend class TJsonValue;
    // Takes the pairs and AutoAdd of `from` over (a copy made before this
    // object).
    void Adopt(TJsonObject& from) noexcept;

    std::vector<std::unique_ptr<TJsonPair>> Pairs;
};

// One value: none, null, a string, a number, a boolean, an owned object or
// an owned array; changing the kind releases the previous content.
class TJsonValue final : public TJsonBase {
public:
    using TJsonBase::TJsonBase;

    // Accepts a value, an object or an array (the latter two make the value
    // a jvObject or jvArray value holding a copy).
    void Assign(const TJsonBase* source) override;
    std::string_view ClassName() const noexcept override { return "TJsonValue"; }

    TJsonKind Kind() const noexcept { return static_cast<TJsonKind>(Content.index()); }
    bool IsEmpty() const noexcept { return Kind() == TJsonKind::jvNone; }
    void Clear() noexcept { Content.emplace<0>(); }

    // jvString: the string; jvNumber: its number text; jvBoolean: "true" or
    // "false"; jvNone, jvNull: "". jvObject, jvArray raise the value type error.
    std::string AsString() const;
    // A jvNone value first becomes an empty object (array); any kind other
    // than jvObject (jvArray) raises the value type error.
    TJsonObject& AsObject();
    TJsonArray& AsArray();

    // The held object (array), or null for any other kind.
    TJsonObject* ObjectOrNull() const noexcept;
    TJsonArray* ArrayOrNull() const noexcept;

    // Only meaningful for the matching kind; 0, false otherwise.
    long double AsNumber() const noexcept;
    bool AsBoolean() const noexcept;

    void SetNull() noexcept { Content.emplace<1>(); }
    void SetString(std::string s) { Content.emplace<2>(std::move(s)); }
    // Precondition: `n` is finite.
    void SetNumber(long double n) noexcept { Content.emplace<3>(n); }
    void SetBoolean(bool b) noexcept { Content.emplace<4>(b); }

protected:
    void ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) override;
    void Write(std::string& out, TJSONFormatter* formatter, bool textForm) const override;

private:
    struct TNull {};
    // A number's bytes, without the 16-byte alignment of long double: so the
    // value, with an object or an array held inside it rather than in an
    // allocation of its own, is no larger than one holding a string (a
    // parsed document takes one allocation less per object and array).
    class TNumber {
    public:
        explicit TNumber(long double v) noexcept { std::memcpy(Bytes, &v, sizeof v); }
        long double Value() const noexcept {
            long double v;
            std::memcpy(&v, Bytes, sizeof v);
            return v;
        }

    private:
        unsigned char Bytes[sizeof(long double)];
    };
    // Alternatives in the order of TJsonKind.
    std::variant<std::monostate, TNull, std::string, TNumber, bool, TJsonObject, TJsonArray> Content;

    [[noreturn]] void RaiseTypeError(TJsonKind wanted) const;
};

// A name and its owned value, created with the pair and freed with it.
class TJsonPair final : public TJsonBase {
public:
    explicit TJsonPair(TJsonBase* owner, std::string name = {})
        : TJsonBase(owner), Name(std::move(name)), Value(this) {}

    // Accepts only a pair (name and value).
    void Assign(const TJsonBase* source) override;
    std::string_view ClassName() const noexcept override { return "TJsonPair"; }

    std::string Name;
    TJsonValue Value;

protected:
    void ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) override;
    void Write(std::string& out, TJSONFormatter* formatter, bool textForm) const override;
};

// The document: empty, a root array or a root object.
class TFastJSON final : public TJsonBase {
public:
    TFastJSON() noexcept : TJsonBase(nullptr) {}
    // Moving hands the root over; pointers into the tree stay valid.
    TFastJSON(TFastJSON&& other) noexcept;
    TFastJSON& operator=(TFastJSON&& other) noexcept;

    // Parse: trims the text; "[...]" parses as a root array, "{...}" as a
    // root object, anything else raises the document's parse error.
    // Accepts a document, an array, an object, or a value holding an array or
    // an object.
    void Assign(const TJsonBase* source) override;
    std::string_view ClassName() const noexcept override { return "TFastJSON"; }

    TJsonStructType RootKind() const noexcept;
    // The root, or null when the document is not of that kind.
    TJsonArray* RootArray() const noexcept { return Array.get(); }
    TJsonObject* RootObject() const noexcept { return Object.get(); }

    void Clear() noexcept;
    // Makes an empty document an object document, then ValueOf on the root
    // object (a missing name is added). Raises "json struct type is not
    // jsObject" for an array document.
    TJsonValue& ValueOf(std::string_view name);

    // Clears the document and loads `fileName` (see the .cpp for the steps).
    // A missing file leaves the document empty and raises nothing. When
    // reading or parsing fails: with `tryBackup`, the ".~json" copy beside
    // the file is loaded once instead (its failure swallowed); then the first
    // failure is raised again when `reraise` is set.
    void LoadFromFile(const std::string& fileName, bool tryBackup = false, bool reraise = true);

    // Writes the document in file form to `fileName` (missing folders are
    // created) with CR LF line breaks and indentation level 2, formatted by
    // `formatterClass` (null: the standard formatter). The file is replaced
    // atomically. With `keepBackup`, the written file is then copied to the
    // ".~json" name beside it.
    void SaveToFile(const std::string& fileName, bool keepBackup = false,
                    TJSONFormatterClass formatterClass = nullptr) const;
    // The text SaveToFile writes, for saving later what the document is now.
    std::string FileText(TJSONFormatterClass formatterClass = nullptr) const;

protected:
    void ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) override;
    void Write(std::string& out, TJSONFormatter* formatter, bool textForm) const override;

private:
    std::unique_ptr<TJsonArray> Array;
    std::unique_ptr<TJsonObject> Object;
};

// `fileName` with the extension of its last path component replaced by
// ".~json" (appended when there is none). Both "/" and "\\" end a folder
// name, so a dot in a folder of either notation is never taken.
std::string JsonBackupName(std::string_view fileName);

// The bytes of a JSON file as the parser takes them: up to the first zero
// byte, and without a leading UTF-8 byte order mark (RFC 8259 8.1: a reader
// may ignore one; Windows programs often write it).
std::string_view JsonFileText(std::string_view bytes) noexcept;

// Saves a FileText as SaveToFile saves its document: missing folders
// created, the file replaced atomically, with `keepBackup` copied to the
// ".~json" name beside it.
void SaveJsonFileText(const std::string& fileName, std::string_view text, bool keepBackup);

}  // namespace qm
