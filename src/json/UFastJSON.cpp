#include "UFastJSON.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UJsonText.h"
#include "UStringUtil.h"

namespace qm {

namespace {

// How much of a failing text a parse error quotes, in characters.
constexpr std::size_t kQuotedCharacters = 100;

// The first `count` UTF-8 characters of `text`.
std::string_view FirstCharacters(std::string_view text, std::size_t count) noexcept {
    std::size_t i = 0;
    for (std::size_t seen = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count) break;
    }
    return text.substr(0, i);
}

std::string Quoted(std::string_view s) {
    std::string r;
    r.reserve(s.size() + 2);
    r += '"';
    r += s;
    r += '"';
    return r;
}

constexpr char LowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameNameAscii(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

[[noreturn]] void RaiseOSError(int code) { throw EInOutError("OSError", code); }

// The file's bytes up to its end or its first zero byte. Only regular files
// are read, and opening never blocks (a FIFO under that name would otherwise
// wait for a writer forever). The bytes are copied rather than mapped
// because on POSIX a mapped file that another process truncates kills the
// reader with SIGBUS, which the platform's mapping forbids.
std::string ReadJsonFileText(const std::string& fileName) {
    std::string text;
    try {
        text = ReadRegularFile(fileName);
    } catch (const EInOutError& e) {
        RaiseOSError(e.ErrorCode);
    }
    return std::string(JsonFileText(text));
}

// Formatter operations that do nothing without a formatter.
void FmtDeeper(TJSONFormatter* f) noexcept {
    if (f) f->Deeper();
}
void FmtBreak(TJSONFormatter* f, std::string& out) {
    if (f) f->Break(out);
}
void FmtBreakIndent(TJSONFormatter* f, std::string& out) {
    if (f) f->BreakIndent(out);
}
void FmtBreakShallower(TJSONFormatter* f, std::string& out) {
    if (f) f->BreakShallower(out);
}
void FmtIndentOnly(TJSONFormatter* f, std::string& out) {
    if (f) f->IndentOnly(out);
}

// Deep copies of `children`, owned by `owner`. Built before the caller
// replaces its own children, as the source may live among them.
template <class Node>
std::vector<std::unique_ptr<Node>> CopyChildren(TJsonBase* owner, const std::vector<std::unique_ptr<Node>>& children) {
    std::vector<std::unique_ptr<Node>> copy;
    copy.reserve(children.size());
    for (const auto& child : children) copy.emplace_back(std::make_unique<Node>(owner))->Assign(child.get());
    return copy;
}

void WriteString(std::string& out, std::string_view s) {
    out += '"';
    AppendEncodedJsonString(out, s);
    out += '"';
}

}  // namespace

EListError::EListError(int index)
    : EQuillmarkError([index] {
          std::string s(kListIndexErrorFormat);
          s.replace(s.find("%d"), 2, std::to_string(index));
          return s;
      }()) {}

std::string_view KindName(TJsonKind kind) noexcept {
    switch (kind) {
        case TJsonKind::jvNone: return "jvNone";
        case TJsonKind::jvNull: return "jvNull";
        case TJsonKind::jvString: return "jvString";
        case TJsonKind::jvNumber: return "jvNumber";
        case TJsonKind::jvBoolean: return "jvBoolean";
        case TJsonKind::jvObject: return "jvObject";
        case TJsonKind::jvArray: return "jvArray";
    }
    return "jvNone";
}

// ---- Formatter ------------------------------------------------------------

std::string_view TJSONFormatter::Indentation(int level) const noexcept {
    static constexpr std::string_view kSpaces = "       ";
    switch (level) {
        case 1: case 2: case 3: case 4: return kSpaces.substr(0, static_cast<std::size_t>(level));
        case 5: return kSpaces.substr(0, 6);
        case 6: return kSpaces.substr(0, 7);
        default: return {};
    }
}

void TJSONFormatter::BreakIndent(std::string& out) const {
    out += LineBreak;
    IndentOnly(out);
}

void TJSONFormatter::BreakShallower(std::string& out) {
    out += LineBreak;
    Level = std::max(Level - 1, 0);
}

void TJSONFormatter::IndentOnly(std::string& out) const {
    if (Level != 0) out += Indentation(Level);
}

std::unique_ptr<TJSONFormatter> CreateStandardFormatter(std::string lineBreak, int level) {
    return std::make_unique<TJSONFormatter>(std::move(lineBreak), level);
}

// ---- Base -----------------------------------------------------------------

void TJsonBase::Parse(std::string_view text) {
    TJsonScanMemo memo(text);
    ParseNested(text, 0, memo);
}

std::string TJsonBase::ToText(TJSONFormatter* formatter) const {
    std::string out;
    Write(out, formatter, true);
    return out;
}

void TJsonBase::WriteToStream(std::string& out, TJSONFormatter* formatter) const { Write(out, formatter, false); }

std::string TJsonBase::PairName() const {
    for (const TJsonBase* n = Owner; n; n = n->Owner)
        if (const auto* pair = dynamic_cast<const TJsonPair*>(n)) return pair->Name;
    return {};
}

std::string TJsonBase::ErrorText(std::string_view specific) const {
    std::string msg;
    msg.reserve(ClassName().size() + specific.size() + 2);
    msg += '<';
    msg += ClassName();
    msg += '>';
    msg += specific;
    return msg;
}

void TJsonBase::RaiseError(std::string_view specific) const { throw EJsonError(ErrorText(specific)); }

void TJsonBase::RaiseParseError(std::string_view text) const {
    RaiseError(Quoted(PairName()) + " parse error: " + std::string(FirstCharacters(text, kQuotedCharacters)) + " ..");
}

void TJsonBase::RaiseAssignError(const TJsonBase* source) const {
    RaiseError("assign error: " + std::string(source ? source->ClassName() : "nil") + " to " +
               std::string(ClassName()));
}

std::string_view TJsonBase::BracketedInner(std::string_view text, int depth, char open, char close) const {
    const std::string_view t = TrimJson(text);
    if (depth >= kMaxJsonDepth || t.size() < 2 || t.front() != open || t.back() != close) RaiseParseError(text);
    return TrimJson(t.substr(1, t.size() - 2));
}

// ---- Array ----------------------------------------------------------------

TJsonValue& TJsonArray::ItemAt(int index) const {
    if (index < 0 || index >= Count()) throw EListError(index);
    return *Items[static_cast<std::size_t>(index)];
}

TJsonValue& TJsonArray::AddItem() { return *Items.emplace_back(std::make_unique<TJsonValue>(this)); }

void TJsonArray::ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) {
    Clear();
    TTopLevelSplitter pieces(BracketedInner(text, depth, '[', ']'), ',', &memo);
    for (std::string_view piece; pieces.Next(piece);) ParseChild(AddItem(), piece, depth + 1, memo);
}

void TJsonArray::Assign(const TJsonBase* source) {
    const auto* src = dynamic_cast<const TJsonArray*>(source);
    if (!src) RaiseAssignError(source);
    Items = CopyChildren(this, src->Items);
}

void TJsonArray::Adopt(TJsonArray& from) noexcept {
    Items = std::move(from.Items);
    for (const auto& item : Items) item->Owner = this;
}

void TJsonArray::Write(std::string& out, TJSONFormatter* formatter, bool textForm) const {
    FmtDeeper(formatter);
    out += '[';
    for (std::size_t i = 0; i < Items.size(); ++i) {
        if (i > 0) out += ',';
        if (textForm) FmtBreak(formatter, out);
        WriteChild(*Items[i], out, formatter, textForm);
    }
    FmtBreakIndent(formatter, out);
    out += ']';
    FmtBreakShallower(formatter, out);
}

// ---- Object ---------------------------------------------------------------

TJsonPair& TJsonObject::PairAt(int index) const {
    if (index < 0 || index >= Count()) throw EListError(index);
    return *Pairs[static_cast<std::size_t>(index)];
}

int TJsonObject::IndexOfName(std::string_view name) const noexcept {
    for (std::size_t i = 0; i < Pairs.size(); ++i)
        if (SameNameAscii(Pairs[i]->Name, name)) return static_cast<int>(i);
    return -1;
}

TJsonPair& TJsonObject::AddPair(std::string_view name) {
    return *Pairs.emplace_back(std::make_unique<TJsonPair>(this, std::string(name)));
}

TJsonValue& TJsonObject::ValueOf(std::string_view name) {
    const int i = IndexOfName(name);
    if (i >= 0) return Pairs[static_cast<std::size_t>(i)]->Value;
    if (!AutoAdd) RaiseError(std::string(name) + " not found");
    return AddPair(name).Value;
}

void TJsonObject::ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) {
    Clear();
    TTopLevelSplitter pieces(BracketedInner(text, depth, '{', '}'), ',', &memo);
    for (std::string_view piece; pieces.Next(piece);) ParseChild(AddPair({}), piece, depth + 1, memo);
}

void TJsonObject::Assign(const TJsonBase* source) {
    const auto* src = dynamic_cast<const TJsonObject*>(source);
    if (!src) RaiseAssignError(source);
    AutoAdd = src->AutoAdd;
    Pairs = CopyChildren(this, src->Pairs);
}

void TJsonObject::Adopt(TJsonObject& from) noexcept {
    AutoAdd = from.AutoAdd;
    Pairs = std::move(from.Pairs);
    for (const auto& pair : Pairs) pair->Owner = this;
}

void TJsonObject::Write(std::string& out, TJSONFormatter* formatter, bool textForm) const {
    if (textForm || out.empty())
        FmtIndentOnly(formatter, out);
    else
        FmtBreakIndent(formatter, out);
    out += '{';
    for (std::size_t i = 0; i < Pairs.size(); ++i) {
        if (i > 0) out += ',';
        FmtBreak(formatter, out);
        WriteChild(*Pairs[i], out, formatter, textForm);
    }
    FmtBreakIndent(formatter, out);
    out += '}';
}

// ---- Pair -----------------------------------------------------------------

void TJsonPair::ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) {
    Name.clear();
    Value.Clear();
    std::string_view pieces[2];
    int count = 0;
    TTopLevelSplitter splitter(text, ':', &memo);
    for (std::string_view piece; count <= 2 && splitter.Next(piece); ++count)
        if (count < 2) pieces[count] = piece;
    const std::string_view name = pieces[0];
    if (count != 2 || name.size() < 2 || name.front() != '"' || name.back() != '"') RaiseParseError(text);
    AppendDecodedJsonString(Name, name.substr(1, name.size() - 2));
    ParseChild(Value, pieces[1], depth, memo);
}

void TJsonPair::Assign(const TJsonBase* source) {
    const auto* src = dynamic_cast<const TJsonPair*>(source);
    if (!src) RaiseAssignError(source);
    std::string name = src->Name;  // the source may die with this pair's old value
    Value.Assign(&src->Value);
    Name = std::move(name);
}

void TJsonPair::Write(std::string& out, TJSONFormatter* formatter, bool textForm) const {
    FmtIndentOnly(formatter, out);
    WriteString(out, Name);
    out += ':';
    WriteChild(Value, out, formatter, textForm);
}

// ---- Value ----------------------------------------------------------------

void TJsonValue::ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) {
    Clear();
    long double number = 0;
    switch (ClassifyJsonText(text, number)) {
        case TJsonKind::jvNone: RaiseParseError(text);
        case TJsonKind::jvNull: SetNull(); break;
        case TJsonKind::jvString: {
            std::string s;
            AppendDecodedJsonString(s, text.substr(1, text.size() - 2));
            SetString(std::move(s));
            break;
        }
        case TJsonKind::jvNumber: SetNumber(number); break;
        case TJsonKind::jvBoolean: SetBoolean(LowerAscii(text.front()) == 't'); break;
        case TJsonKind::jvObject: {
            // Installed before parsing, so a failure keeps what was built.
            auto& object = Content.emplace<5>(this);
            ParseChild(object, text, depth, memo);
            break;
        }
        case TJsonKind::jvArray: {
            auto& array = Content.emplace<6>(this);
            ParseChild(array, text, depth, memo);
            break;
        }
    }
}

std::string TJsonValue::AsString() const {
    switch (Kind()) {
        case TJsonKind::jvNone:
        case TJsonKind::jvNull: return {};
        case TJsonKind::jvString: return std::get<2>(Content);
        case TJsonKind::jvNumber: return FormatJsonNumber(std::get<3>(Content).Value());
        case TJsonKind::jvBoolean: return std::get<4>(Content) ? "true" : "false";
        case TJsonKind::jvObject:
        case TJsonKind::jvArray: break;
    }
    RaiseTypeError(TJsonKind::jvString);
}

TJsonObject& TJsonValue::AsObject() {
    if (IsEmpty()) Content.emplace<5>(this);
    if (Kind() != TJsonKind::jvObject) RaiseTypeError(TJsonKind::jvObject);
    return std::get<5>(Content);
}

TJsonArray& TJsonValue::AsArray() {
    if (IsEmpty()) Content.emplace<6>(this);
    if (Kind() != TJsonKind::jvArray) RaiseTypeError(TJsonKind::jvArray);
    return std::get<6>(Content);
}

TJsonObject* TJsonValue::ObjectOrNull() const noexcept {
    // The held node is as changeable as one reached through AsObject.
    return const_cast<TJsonObject*>(std::get_if<5>(&Content));
}

TJsonArray* TJsonValue::ArrayOrNull() const noexcept {
    return const_cast<TJsonArray*>(std::get_if<6>(&Content));
}

long double TJsonValue::AsNumber() const noexcept {
    const auto* n = std::get_if<3>(&Content);
    return n ? n->Value() : 0;
}

bool TJsonValue::AsBoolean() const noexcept {
    const auto* b = std::get_if<4>(&Content);
    return b && *b;
}

void TJsonValue::RaiseTypeError(TJsonKind wanted) const {
    throw EJsonTypeError(ErrorText(Quoted(PairName()) + " value type error: " + std::string(KindName(Kind())) +
                                   " to " + std::string(KindName(wanted))),
                         PairName(), Kind(), wanted);
}

void TJsonValue::Assign(const TJsonBase* source) {
    if (const auto* value = dynamic_cast<const TJsonValue*>(source)) {
        if (value == this) return;
        switch (value->Kind()) {
            case TJsonKind::jvNone: Clear(); break;
            case TJsonKind::jvNull: SetNull(); break;
            case TJsonKind::jvString: SetString(std::get<2>(value->Content)); break;
            case TJsonKind::jvNumber: SetNumber(std::get<3>(value->Content).Value()); break;
            case TJsonKind::jvBoolean: SetBoolean(std::get<4>(value->Content)); break;
            case TJsonKind::jvObject: Assign(&std::get<5>(value->Content)); break;
            case TJsonKind::jvArray: Assign(&std::get<6>(value->Content)); break;
        }
    } else if (const auto* object = dynamic_cast<const TJsonObject*>(source)) {
        // Copy first: the source may live inside this value.
        TJsonObject copy(nullptr);
        copy.Assign(object);
        Content.emplace<5>(this).Adopt(copy);
    } else if (const auto* array = dynamic_cast<const TJsonArray*>(source)) {
        TJsonArray copy(nullptr);
        copy.Assign(array);
        Content.emplace<6>(this).Adopt(copy);
    } else {
        RaiseAssignError(source);
    }
}

void TJsonValue::Write(std::string& out, TJSONFormatter* formatter, bool textForm) const {
    switch (Kind()) {
        case TJsonKind::jvNone:
        case TJsonKind::jvNull: out += "null"; break;
        case TJsonKind::jvString: WriteString(out, std::get<2>(Content)); break;
        case TJsonKind::jvNumber: AppendJsonNumber(out, std::get<3>(Content).Value()); break;
        case TJsonKind::jvBoolean: out += std::get<4>(Content) ? "true" : "false"; break;
        case TJsonKind::jvObject: WriteChild(std::get<5>(Content), out, formatter, textForm); break;
        case TJsonKind::jvArray: WriteChild(std::get<6>(Content), out, formatter, textForm); break;
    }
}

// ---- Document -------------------------------------------------------------

TFastJSON::TFastJSON(TFastJSON&& other) noexcept : TJsonBase(nullptr) { *this = std::move(other); }

TFastJSON& TFastJSON::operator=(TFastJSON&& other) noexcept {
    if (this != &other) {
        Array = std::move(other.Array);
        Object = std::move(other.Object);
        if (Array) Array->Owner = this;
        if (Object) Object->Owner = this;
    }
    return *this;
}

TJsonStructType TFastJSON::RootKind() const noexcept {
    if (Array) return TJsonStructType::jsArray;
    if (Object) return TJsonStructType::jsObject;
    return TJsonStructType::jsNone;
}

void TFastJSON::Clear() noexcept {
    Array.reset();
    Object.reset();
}

void TFastJSON::ParseNested(std::string_view text, int depth, TJsonScanMemo& memo) {
    Clear();
    const std::string_view t = TrimJson(text);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
        Array = std::make_unique<TJsonArray>(this);
        ParseChild(*Array, t, depth, memo);
    } else if (t.size() >= 2 && t.front() == '{' && t.back() == '}') {
        Object = std::make_unique<TJsonObject>(this);
        ParseChild(*Object, t, depth, memo);
    } else {
        RaiseParseError(t);
    }
}

TJsonValue& TFastJSON::ValueOf(std::string_view name) {
    if (Array) RaiseError("json struct type is not jsObject");
    if (!Object) Object = std::make_unique<TJsonObject>(this);
    return Object->ValueOf(name);
}

void TFastJSON::Assign(const TJsonBase* source) {
    std::unique_ptr<TJsonArray> array;
    std::unique_ptr<TJsonObject> object;
    const TJsonBase* root = source;
    if (const auto* doc = dynamic_cast<const TFastJSON*>(source)) {
        if (doc == this) return;
        root = doc->Array ? static_cast<const TJsonBase*>(doc->Array.get()) : doc->Object.get();
        if (!root) {
            Clear();
            return;
        }
    } else if (const auto* value = dynamic_cast<const TJsonValue*>(source)) {
        if (value->ArrayOrNull()) root = value->ArrayOrNull();
        else if (value->ObjectOrNull()) root = value->ObjectOrNull();
        else RaiseAssignError(source);
    }
    // Copy first: the source may live inside this document.
    if (const auto* a = dynamic_cast<const TJsonArray*>(root)) {
        array = std::make_unique<TJsonArray>(this);
        array->Assign(a);
    } else if (const auto* o = dynamic_cast<const TJsonObject*>(root)) {
        object = std::make_unique<TJsonObject>(this);
        object->Assign(o);
    } else {
        RaiseAssignError(source);
    }
    Array = std::move(array);
    Object = std::move(object);
}

void TFastJSON::Write(std::string& out, TJSONFormatter* formatter, bool textForm) const {
    if (Array) WriteChild(*Array, out, formatter, textForm);
    else if (Object) WriteChild(*Object, out, formatter, textForm);
}

void TFastJSON::LoadFromFile(const std::string& fileName, bool tryBackup, bool reraise) {
    Clear();
    if (!FileExistsEx(fileName)) return;
    try {
        Parse(ReadJsonFileText(fileName));
    } catch (const EQuillmarkError&) {
        const std::exception_ptr failure = std::current_exception();
        if (tryBackup) {
            const std::string backup = JsonBackupName(fileName);
            if (FileExistsEx(backup)) LoadFromFile(backup, false, false);
        }
        if (reraise) std::rethrow_exception(failure);
    }
}

void TFastJSON::SaveToFile(const std::string& fileName, bool keepBackup, TJSONFormatterClass formatterClass) const {
    SaveJsonFileText(fileName, FileText(formatterClass), keepBackup);
}

std::string TFastJSON::FileText(TJSONFormatterClass formatterClass) const {
    const auto formatter = (formatterClass ? formatterClass : &CreateStandardFormatter)("\r\n", 2);
    std::string text;
    Write(text, formatter.get(), false);
    return text;
}

void SaveJsonFileText(const std::string& fileName, std::string_view text, bool keepBackup) {
    // A bare file name lies in the current folder, which exists.
    const std::string folder = ExtractFilePath(fileName);
    if (!folder.empty()) ForceFolders(folder);
    WriteFileAtomic(fileName, text);
    if (keepBackup) CopyFileWithRetry(fileName, JsonBackupName(fileName));
}

std::string_view JsonFileText(std::string_view bytes) noexcept {
    if (const std::size_t zero = bytes.find('\0'); zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    return bytes;
}

std::string JsonBackupName(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.rfind('.');
    const std::size_t cut = (dot != std::string_view::npos && dot >= nameStart) ? dot : fileName.size();
    return std::string(fileName.substr(0, cut)) + ".~json";
}

}  // namespace qm
