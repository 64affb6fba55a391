#include "connections/row_filter.h"

#include "connections/list_columns.h"
#include "util/ascii_text.h"

namespace vq::connections {
namespace {

constexpr std::uint32_t kTcpStateTimeWait = 11;
constexpr std::uint32_t kFirstWaitingState = 6;  // FIN-WAIT-1, up to TIME-WAIT

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool IsConnection(Protocol protocol)
{
    return protocol == Protocol::Tcp || protocol == Protocol::Tcp6;
}

bool ProtocolSelected(std::uint8_t protocols, Protocol protocol)
{
    return ((protocols >> static_cast<unsigned>(protocol)) & 1) != 0;
}

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

template <typename Predicate>
bool All(std::wstring_view text, Predicate predicate)
{
    for (const wchar_t c : text) {
        if (!predicate(c)) {
            return false;
        }
    }
    return true;
}

// A character of an address text, after folding: hex digits, the
// separators, and the "%" before a scope id.
bool CanBeInAddress(wchar_t c)
{
    return IsHexDigit(c) || c == L'.' || c == L':' || c == L'%';
}

// State names are written with "-" and typed with either.
wchar_t FoldStateChar(wchar_t c)
{
    return c == L'_' ? L'-' : util::AsciiUpper(c);
}

// Whether text starts with prefix, which is folded already.
bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (util::AsciiUpper(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool StateStartsWith(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldStateChar(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Whether part, folded already, occurs in text.
bool ContainsFolded(std::wstring_view text, std::wstring_view part)
{
    if (part.empty()) {
        return true;
    }
    if (part.size() > text.size()) {
        return false;
    }
    const std::size_t last = text.size() - part.size();
    for (std::size_t start = 0; start <= last; ++start) {
        if (util::AsciiUpper(text[start]) == part[0] && StartsWithFolded(text.substr(start + 1), part.substr(1))) {
            return true;
        }
    }
    return false;
}

// One blank-separated word of a query, its quotes taken out.
struct Word {
    std::wstring text;
    bool exclude = false;
    // The length of the part before the first ":", when no quote comes
    // before that ":" (a quoted word is only ever text).
    std::size_t keyLength = std::wstring::npos;
};

// Reads the word at position, which is past any blanks; moves position past it.
Word ReadWord(std::wstring_view query, std::size_t& position)
{
    Word word;
    if (query[position] == L'-' && position + 1 < query.size() && !IsBlank(query[position + 1])) {
        word.exclude = true;
        ++position;
    }
    bool quoted = false;
    bool sawQuote = false;
    for (; position < query.size(); ++position) {
        const wchar_t c = query[position];
        if (c == L'"') {
            quoted = !quoted;
            sawQuote = true;
            continue;
        }
        if (!quoted && IsBlank(c)) {
            break;
        }
        if (c == L':' && !sawQuote && word.keyLength == std::wstring::npos) {
            word.keyLength = word.text.size();
        }
        word.text += c;
    }
    return word;
}

// A number field's value; nullopt when it is not all digits. A number past
// limit reads as limit + 1, however many digits it has.
std::optional<std::uint64_t> ReadNumber(std::wstring_view text, std::uint64_t limit)
{
    if (text.empty() || !All(text, IsDigit)) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > limit) {
            return limit + 1;
        }
    }
    return value;
}

} // namespace

RowFilter::RowFilter(std::wstring_view query)
{
    std::size_t position = 0;
    while (true) {
        while (position < query.size() && IsBlank(query[position])) {
            ++position;
        }
        if (position == query.size()) {
            return;
        }
        const Word word = ReadWord(query, position);
        if (!word.text.empty() && !AddWord(word.text, word.keyLength, word.exclude)) {
            terms_.clear();
            return;
        }
    }
}

std::optional<RowFilter::Field> RowFilter::FieldOfKey(std::wstring_view key)
{
    struct Key {
        std::wstring_view name;
        Field field;
    };
    static constexpr Key keys[] = {
        {L"process", Field::Process},      {L"path", Field::Path},           {L"proto", Field::Protocol},
        {L"state", Field::State},          {L"local", Field::LocalAddress},  {L"remote", Field::RemoteAddress},
        {L"lport", Field::LocalPort},      {L"rport", Field::RemotePort},    {L"port", Field::EitherPort},
        {L"pid", Field::ProcessId},        {L"service", Field::Service},
    };
    for (const Key& known : keys) {
        if (known.name.size() == key.size() && util::StartsWithIgnoringAsciiCase(known.name, key)) {
            return known.field;
        }
    }
    return std::nullopt;
}

bool RowFilter::AddWord(std::wstring_view word, std::size_t keyLength, bool exclude)
{
    Term term;
    term.exclude = exclude;
    std::wstring_view value = word;
    if (keyLength != std::wstring::npos) {
        const std::wstring_view key = word.substr(0, keyLength);
        const std::wstring_view typedKey = word.substr(0, keyLength + 1);
        if (const std::optional<Field> field = FieldOfKey(key)) {
            term.field = *field;
            value = word.substr(keyLength + 1);
        } else if (!All(key, IsHexDigit)) {
            error_ = L"Unknown filter key \"" + std::wstring(typedKey) + L"\"";
            return false;
        }
        switch (term.field) {
        case Field::LocalPort:
        case Field::RemotePort:
        case Field::EitherPort:
        case Field::ProcessId: {
            const std::uint64_t limit = term.field == Field::ProcessId ? UINT32_MAX : 65535;
            const std::optional<std::uint64_t> number = ReadNumber(value, limit);
            if (!number) {
                error_ = L"\"" + std::wstring(typedKey) + L"\" needs a number";
                return false;
            }
            term.numberInRange = *number <= limit;
            term.number = term.numberInRange ? static_cast<std::uint32_t>(*number) : 0;
            break;
        }
        default:
            break;
        }
    }
    term.value.reserve(value.size());
    for (const wchar_t c : value) {
        term.value += term.field == Field::State ? FoldStateChar(c) : util::AsciiUpper(c);
    }
    WorkOutFixedCells(term);
    terms_.push_back(std::move(term));
    return true;
}

void RowFilter::WorkOutFixedCells(Term& term)
{
    if (term.field != Field::AnyCell && term.field != Field::Protocol && term.field != Field::State) {
        return;
    }
    const bool anyCell = term.field == Field::AnyCell;
    const auto selects = [&](std::wstring_view text) {
        if (anyCell) {
            return ContainsFolded(text, term.value);
        }
        return term.field == Field::State ? StateStartsWith(text, term.value) : StartsWithFolded(text, term.value);
    };
    for (std::size_t protocol = 0; protocol < kProtocolCount; ++protocol) {
        if (selects(ProtocolText(static_cast<Protocol>(protocol)))) {
            term.protocols |= static_cast<std::uint8_t>(1u << protocol);
        }
    }
    CellBuffer buffer;
    for (std::uint32_t code = 0; code < kStatesWorkedOut; ++code) {
        if (selects(TcpStateText(code, buffer))) {
            term.states |= std::uint64_t{1} << code;
        }
    }
    if (selects(kNoValue)) {
        term.states |= std::uint64_t{1} << kStatesWorkedOut;
    }
    term.canBeInAddress = anyCell && All(term.value, CanBeInAddress);
    term.canBeInNumber = anyCell && All(term.value, IsDigit);
    term.canBeInCreated = anyCell && All(term.value, [](wchar_t c) {
        return IsDigit(c) || c == L'-' || c == L':' || c == L' ';
    });
}

bool RowFilter::PassesEverything() const
{
    return terms_.empty() && error_.empty() && showUnconnected_ && showWaiting_;
}

RowFilter::ProcessMatches RowFilter::MatchProcess(const ProcessEntry& process) const
{
    ProcessMatches matches = 0;
    const std::size_t count = terms_.size() < 64 ? terms_.size() : 64;
    for (std::size_t i = 0; i < count; ++i) {
        if (MatchesProcess(terms_[i], process)) {
            matches |= ProcessMatches{1} << i;
        }
    }
    return matches;
}

bool RowFilter::MatchesProcess(const Term& term, const ProcessEntry& process)
{
    switch (term.field) {
    case Field::AnyCell:
        return ContainsFolded(process.caption->text, term.value) || ContainsFolded(process.folder, term.value);
    case Field::Process:
        return ContainsFolded(process.caption->text, term.value);
    case Field::Path:
        return ContainsFolded(process.folder, term.value);
    default:
        return false;
    }
}

bool RowFilter::StateMatches(const Term& term, const RowFacts& row, CellBuffer& buffer)
{
    if (!IsConnection(row.endpoint.protocol)) {
        return ((term.states >> kStatesWorkedOut) & 1) != 0;
    }
    if (row.tcpState < kStatesWorkedOut) {
        return ((term.states >> row.tcpState) & 1) != 0;
    }
    const std::wstring_view text = TcpStateText(row.tcpState, buffer);
    return term.field == Field::State ? StateStartsWith(text, term.value) : ContainsFolded(text, term.value);
}

bool RowFilter::MatchesRow(const Term& term, const RowFacts& row, CellBuffer& buffer)
{
    const EndpointKey& endpoint = row.endpoint;
    const bool connection = IsConnection(endpoint.protocol);
    switch (term.field) {
    case Field::AnyCell:
        if (ProtocolSelected(term.protocols, endpoint.protocol) || StateMatches(term, row, buffer)) {
            return true;
        }
        // Numbers are quicker to write than addresses.
        if (term.canBeInNumber) {
            for (const std::size_t column : {1 + kLocalPort, 1 + kRemotePort, 1 + kProcessId}) {
                if ((connection || column != 1 + kRemotePort) &&
                    ContainsFolded(CellText(row, column, buffer), term.value)) {
                    return true;
                }
            }
        }
        if (term.canBeInAddress) {
            if (ContainsFolded(CellText(row, 1 + kLocalAddress, buffer), term.value)) {
                return true;
            }
            if (connection && ContainsFolded(CellText(row, 1 + kRemoteAddress, buffer), term.value)) {
                return true;
            }
        }
        // The optional columns, when shown.
        if (ContainsFolded(row.service, term.value)) {
            return true;
        }
        return term.canBeInCreated && row.created != 0 &&
               ContainsFolded(CellText(row, kCreatedColumn, buffer), term.value);
    case Field::Service:
        return ContainsFolded(row.service, term.value);
    case Field::Process:
    case Field::Path:
        return false;
    case Field::Protocol:
        return ProtocolSelected(term.protocols, endpoint.protocol);
    case Field::State:
        return StateMatches(term, row, buffer);
    case Field::LocalAddress:
        return term.value.empty() || StartsWithFolded(CellText(row, 1 + kLocalAddress, buffer), term.value);
    case Field::RemoteAddress:
        return term.value.empty() || StartsWithFolded(CellText(row, 1 + kRemoteAddress, buffer), term.value);
    case Field::LocalPort:
        return term.numberInRange && endpoint.localPort == term.number;
    case Field::RemotePort:
        return term.numberInRange && connection && endpoint.remotePort == term.number;
    case Field::EitherPort:
        return term.numberInRange &&
               (endpoint.localPort == term.number || (connection && endpoint.remotePort == term.number));
    case Field::ProcessId:
        return term.numberInRange && endpoint.processId == term.number;
    }
    return false;
}

bool RowFilter::Shown(const RowFacts& row) const
{
    const Protocol protocol = row.endpoint.protocol;
    if (IsConnection(protocol)) {
        if (!showUnconnected_ && row.tcpState == kTcpStateListen) {
            return false;
        }
        return showWaiting_ || row.tcpState < kFirstWaitingState || row.tcpState > kTcpStateTimeWait;
    }
    return showUnconnected_ || (protocol != Protocol::Udp && protocol != Protocol::Udp6);
}

bool RowFilter::Passes(const RowFacts& row, ProcessMatches process) const
{
    if (!error_.empty() || !Shown(row)) {
        return false;
    }
    CellBuffer buffer;
    for (std::size_t i = 0; i < terms_.size(); ++i) {
        const Term& term = terms_[i];
        const bool byProcess = i < 64 ? ((process >> i) & 1) != 0 : MatchesProcess(term, row.process);
        if ((byProcess || MatchesRow(term, row, buffer)) == term.exclude) {
            return false;
        }
    }
    return true;
}

} // namespace vq::connections
