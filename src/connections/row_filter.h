#pragma once

// Which rows the list shows: the user's filter text, read as a small query,
// and the two View options that hide whole kinds of rows. The console
// companion reads the same query.

#include "connections/row_cells.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq::connections {

// Query syntax, letters compared without case (ASCII letters folded):
//   words separated by blanks; a row passes when it matches every word;
//   a word matches when any cell of the row contains it (the Service and
//   Created cells while they are shown);
//   -word excludes the rows the word matches (any form below);
//   "two words" is one word (an unclosed quote runs to the end);
//   key:value matches one field:
//     process:  the Process cell contains the value
//     path:     the Process Path cell contains the value
//     proto:    the Protocol cell starts with it (proto:tcp is TCP and TCPv6)
//     state:    the State cell starts with it, "-" and "_" alike
//     local:, remote:  the address cell starts with it
//     lport:, rport:, port:  the port is that number (port: either end)
//     pid:      the process id is that number
//     service:  the Service cell contains the value (empty while the column
//               is not shown)
// A word whose part before its first ":" is not a key is a plain word when
// that part could begin an IPv6 address (hex digits only, or nothing), so
// "fe80::1" and "::1" search the cells; any other unknown key is an error.
// A number field whose value is not a number is an error. A query with an
// error passes no row.
class RowFilter {
public:
    // Passes every row: no words and every kind of row shown.
    RowFilter() = default;
    // Reads the query; never throws for what the user typed.
    explicit RowFilter(std::wstring_view query);

    // "Show Unconnected Endpoints" off: TCP rows in LISTEN and every UDP row
    // are hidden. "Show Waiting Connections" off: TCP rows in TIME-WAIT,
    // CLOSE-WAIT, FIN-WAIT-1, FIN-WAIT-2, CLOSING and LAST-ACK are hidden.
    void ShowUnconnected(bool show) { showUnconnected_ = show; }
    void ShowWaiting(bool show) { showWaiting_ = show; }

    // Whether every row passes, so the list need not test any.
    bool PassesEverything() const;
    // What is wrong with the query, for the user; empty when nothing is.
    const std::wstring& Error() const { return error_; }
    // Whether the query has a word (a row's test then reads its texts).
    bool HasWords() const { return !terms_.empty(); }

    // The words a process's own cells (Process, Process Path) satisfy, one
    // bit per word in query order (the first 64): rows of one process share
    // it, so a pass over many rows works it out once per process.
    using ProcessMatches = std::uint64_t;
    ProcessMatches MatchProcess(const ProcessEntry& process) const;
    // Whether a row passes, given what MatchProcess answered for its process.
    bool Passes(const RowFacts& row, ProcessMatches process) const;
    bool Passes(const RowFacts& row) const { return Passes(row, MatchProcess(row.process)); }

private:
    enum class Field : std::uint8_t {
        AnyCell, Process, Path, Protocol, State, LocalAddress, RemoteAddress,
        LocalPort, RemotePort, EitherPort, ProcessId, Service,
    };
    // State codes below this have their State text's answer worked out when
    // the query is read; the last bit of Term::states stands for the "-" of
    // a row that has no state.
    static constexpr std::uint32_t kStatesWorkedOut = 63;
    struct Term {
        Field field = Field::AnyCell;
        bool exclude = false;
        std::wstring value;          // what the word looks for: ASCII letters upper case, a state's "_" as "-"
        std::uint32_t number = 0;    // a number field's value
        bool numberInRange = true;   // a number no port or id can have matches nothing
        // The Protocol and State cells have few texts, so whether the value
        // selects each is known before any row: a bit per Protocol value, a
        // bit per state code below kStatesWorkedOut.
        std::uint8_t protocols = 0;
        std::uint64_t states = 0;
        // Whether the value can occur in an address or a number cell at all,
        // so a row makes those texts only for a word that could be in them.
        bool canBeInAddress = false;
        bool canBeInNumber = false;
        bool canBeInCreated = false;
    };
    static std::optional<Field> FieldOfKey(std::wstring_view key);
    static void WorkOutFixedCells(Term& term);
    bool AddWord(std::wstring_view word, std::size_t keyLength, bool exclude);
    static bool MatchesProcess(const Term& term, const ProcessEntry& process);
    // The row's own cells, the process's two left out.
    static bool MatchesRow(const Term& term, const RowFacts& row, CellBuffer& buffer);
    static bool StateMatches(const Term& term, const RowFacts& row, CellBuffer& buffer);
    bool Shown(const RowFacts& row) const;

    std::vector<Term> terms_;
    std::wstring error_;
    bool showUnconnected_ = true;
    bool showWaiting_ = true;
};

} // namespace vq::connections
