#include "console/console_run.h"

#include "app/startup.h"
#include "connections/connection_list.h"
#include "connections/list_sync.h"
#include "connections/row_filter.h"
#include "connections/table_reader.h"
#include "console/command_line.h"
#include "console/row_changes.h"
#include "console/row_output.h"
#include "support/process_path_cache.h"
#include "util/error_report.h"
#include "util/utf8.h"

#include <vector>

namespace vq::console {
namespace {

using connections::ConnectionRow;

std::string Utf8Line(std::wstring_view text)
{
    std::string line;
    util::AppendUtf8(line, text);
    line += "\r\n";
    return line;
}

std::string UsageText()
{
    std::string usage;
    util::AppendUtf8(usage, kUsageText);
    return usage;
}

template <typename Row>
connections::TableBuffer<Row> TableOrThrow(connections::TableRead<Row> read, const wchar_t* tableName)
{
    if (read.outcome != connections::ReadOutcome::Read) {
        throw util::AppError(std::wstring(L"Could not read the ") + tableName + L" table.");
    }
    return std::move(read.table);
}

// Each reading makes a list of its own, so its rows come in the window's
// order and pass the window's filter.
class ConnectionReader {
public:
    ConnectionReader(const ConsoleSystem& system, const ConsoleOptions& options)
        : system_(system), families_(options.families), filter_(options.filterQuery),
          paths_(system.kernel32Path)
    {
    }

    const connections::RowFilter& Filter() const { return filter_; }

    // Throws util::AppError when a table cannot be read.
    std::vector<ConnectionRow> Read()
    {
        connections::ConnectionList list{system_.compareCaptions};
        list.SetFilter(filter_);
        paths_.BeginPass();
        const connections::ProcessPathResolver resolve = [this](std::uint32_t processId) {
            connections::OwningProcess owner;
            owner.path = paths_.Resolve(processId, &owner.startTime);
            return owner;
        };
        const platform::IpHelperEntryPoints& ipHelper = system_.ipHelper;
        list.BeginUpdate();
        if (families_ != Families::IPv6Only) {
            connections::SyncTcpRows(list, TableOrThrow(connections::ReadTcpTable(ipHelper), L"TCP"), resolve);
            connections::SyncUdpRows(list, TableOrThrow(connections::ReadUdpTable(ipHelper), L"UDP"), resolve);
        }
        if (families_ != Families::IPv4Only) {
            connections::SyncTcp6Rows(list, TableOrThrow(connections::ReadTcp6Table(ipHelper), L"TCPv6"), resolve);
            connections::SyncUdp6Rows(list, TableOrThrow(connections::ReadUdp6Table(ipHelper), L"UDPv6"), resolve);
        }
        list.EndUpdate();

        std::vector<ConnectionRow> rows;
        rows.reserve(list.size());
        for (std::size_t index = 0; index < list.size(); ++index) {
            rows.push_back(list.row(index));
        }
        return rows;
    }

private:
    const ConsoleSystem& system_;
    Families families_;
    connections::RowFilter filter_;
    support::ProcessPathCache paths_;
};

int Written(platform::StreamWrite outcome)
{
    return outcome == platform::StreamWrite::Failed ? kExitOutputFailed : kExitDone;
}

int PrintListing(const std::vector<ConnectionRow>& rows, OutputFormat format, ConsoleHost& host)
{
    std::string out;
    switch (format) {
    case OutputFormat::Text:
        AppendTextTable(out, rows);
        break;
    case OutputFormat::Csv:
        AppendCsv(out, rows);
        break;
    case OutputFormat::Json:
        AppendJsonArray(out, rows);
        break;
    }
    return Written(host.WriteOutput(out));
}

// Runs until the host stops the wait or the reader goes away. Each batch of
// lines is written at once, so a reader sees every reading whole.
int Watch(ConnectionReader& reader, std::uint32_t seconds, ConsoleHost& host)
{
    std::vector<ConnectionRow> rows = reader.Read();
    std::string out;
    const platform::UtcTime opened = host.Now();
    for (const ConnectionRow& row : rows) {
        AppendJsonEvent(out, ChangeKind::Open, opened, row);
    }
    while (true) {
        if (!out.empty()) {
            const platform::StreamWrite outcome = host.WriteOutput(out);
            if (outcome != platform::StreamWrite::Written) {
                return Written(outcome);
            }
            out.clear();
        }
        if (!host.WaitForNextReading(seconds)) {
            return kExitDone;
        }
        std::vector<ConnectionRow> next = reader.Read();
        const platform::UtcTime now = host.Now();
        for (const RowChange& change : ChangesBetween(rows, next)) {
            AppendJsonEvent(out, change.kind, now, change.kind == ChangeKind::Close ? rows[change.row] : next[change.row]);
        }
        rows = std::move(next);
    }
}

} // namespace

int RunConsole(std::span<const std::wstring> arguments, const ConsoleSystem& system, ConsoleHost& host)
{
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (std::holds_alternative<HelpRequest>(parsed)) {
        return Written(host.WriteOutput(UsageText()));
    }
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        host.WriteError(Utf8Line(error->message) + UsageText());
        return kExitUsage;
    }
    const ConsoleOptions& options = std::get<ConsoleOptions>(parsed);
    ConnectionReader reader{system, options};
    if (!reader.Filter().Error().empty()) {
        host.WriteError(Utf8Line(reader.Filter().Error()) + UsageText());
        return kExitUsage;
    }
    if (system.ipHelper.getExtendedTcpTable == nullptr || system.ipHelper.getExtendedUdpTable == nullptr) {
        host.WriteError(Utf8Line(app::kRefusalUnsupportedOs));
        return kExitTables;
    }
    try {
        if (options.watchSeconds) {
            return Watch(reader, *options.watchSeconds, host);
        }
        return PrintListing(reader.Read(), options.format, host);
    } catch (const util::AppError& failure) {
        host.WriteError(Utf8Line(failure.message()));
        return kExitTables;
    }
}

} // namespace vq::console
