// convert: items made as the Add command makes them, the destination set as
// the Destination Format and Destination File commands set it, then a run.
// run: a project file opened as the window opens it, then a run.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <system_error>

#include "app/ErrorReport.h"
#include "app/StringIds.h"
#include "cli/BatchConversion.h"
#include "cli/CliArguments.h"
#include "cli/Commands.h"
#include "cli/FormatSpec.h"
#include "cli/OutputPaths.h"
#include "engine/RunSnapshot.h"
#include "formats/SavedFormats.h"
#include "libhost/FileFormatLibrary.h"
#include "project/ConversionProject.h"
#include "project/PathFunctions.h"

namespace {

constexpr unsigned kMaxJobs = 64;

// The destination the command line gives every item: a resolved format, or
// a destination text that takes its rate and channels from each source.
struct SDestinationChoice {
    const CFileFormatLibrary* library = nullptr;
    uint32_t highQuality = 1;
    std::optional<CAudioFormat> format;
    std::optional<SFormatSpec> perSource;
};

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Keeps the items whose destination may be written: never the source itself,
// never two items onto one file, an existing file only when asked to.
std::vector<SRunItem> SelectWritable(std::vector<SRunItem> items, bool overwrite, std::size_t& skipped)
{
    std::vector<SRunItem> kept;
    std::set<std::string> destinations;
    for (SRunItem& item : items) {
        const std::string& destination = item.destinationPath;
        if (destination == item.sourcePath || SameFile(destination, item.sourcePath)) {
            PrintError("not converting " + item.sourcePath + ": the destination is the source file itself");
            ++skipped;
        } else if (!destinations.insert(destination).second) {
            PrintError("not converting " + item.sourcePath + ": another item writes " + destination);
            ++skipped;
        } else if (!overwrite && Exists(destination)) {
            PrintError("not converting " + item.sourcePath + ": " + destination +
                       " exists (--overwrite replaces it)");
            ++skipped;
        } else {
            kept.push_back(std::move(item));
        }
    }
    return kept;
}

int ConvertSelected(std::vector<SRunItem> items, std::size_t skipped, const CParsedArguments& parsed,
                    const SCommandContext& context, unsigned jobs)
{
    items = SelectWritable(std::move(items), parsed.Has("overwrite"), skipped);
    SBatchOptions options;
    options.jobs = jobs;
    options.quiet = parsed.Has("quiet");
    options.deleteSources = parsed.Has("delete-source");
    options.progressLine = context.progressTerminal && !options.quiet;
    options.interrupted = &context.interrupted;
    const SBatchResult result = ConvertBatch(items, options, std::cout, std::cerr);
    const bool allConverted = result.converted == items.size() && skipped == 0;
    return allConverted ? kExitSuccess : kExitItemsFailed;
}

bool ChooseDestination(const CParsedArguments& parsed, const SCommandContext& context,
                       SDestinationChoice& choice, int& status)
{
    const auto to = parsed.Value("to");
    const auto preset = parsed.Value("preset");
    const auto quality = parsed.Value("quality");
    if (to.has_value() == preset.has_value()) {
        status = UsageError("give the destination format with either --to FORMAT or --preset NAME");
        return false;
    }
    if (quality && *quality != "high" && *quality != "low") {
        status = UsageError("--quality takes high or low, not \"" + *quality + "\"");
        return false;
    }
    choice.highQuality = !quality || *quality == "high" ? 1 : 0;

    if (to) {
        SFormatSpec requested;
        std::string error;
        if (!ParseFormatSpec(*to, context.libraries, requested, error)) {
            status = UsageError(error);
            return false;
        }
        choice.library = requested.library;
        if (requested.NeedsSource()) {
            choice.perSource = requested;
            return true;
        }
        CAudioFormat format;
        if (!ResolveFormatSpec(requested, nullptr, format, error)) {
            status = UsageError(error);
            return false;
        }
        choice.format = format;
        return true;
    }

    const std::string name = TrimSavedFormatName(*preset);
    SSavedFormat saved;
    switch (ReadSavedFormat(name, saved)) {
    case ESavedFormatRead::Missing:
        status = UsageError("there is no saved format named \"" + name + "\" (orvano-cli presets lists them)");
        return false;
    case ESavedFormatRead::Invalid:
        PrintError("the saved format \"" + name + "\" is not valid");
        status = kExitUsage;
        return false;
    case ESavedFormatRead::Found:
        break;
    }
    CAudioFormat format;
    if (MatchSavedFormat(saved, context.libraries, choice.library, format) != ESavedFormatMatch::Matched) {
        PrintError("the saved format \"" + name +
                   "\" is no longer available on this system: no file format library, format tag or format "
                   "matches it");
        status = kExitUsage;
        return false;
    }
    choice.format = format;
    if (!quality) {
        choice.highQuality = saved.highQuality ? 1 : 0;
    }
    return true;
}

// Records what was reported while passing it on to standard error.
class CNotingPresenter final : public IMessagePresenter {
public:
    CNotingPresenter() { SetMessagePresenter(this); }
    ~CNotingPresenter() override { SetMessagePresenter(nullptr); }
    CNotingPresenter(const CNotingPresenter&) = delete;
    CNotingPresenter& operator=(const CNotingPresenter&) = delete;

    void PresentError(const SErrorReport& report, void* parent) override
    {
        m_ids.insert(report.messageId);
        m_stream.PresentError(report, parent);
    }
    int PresentMessageBox(const std::string& text, const std::string& caption, uint32_t type, void* owner) override
    {
        return m_stream.PresentMessageBox(text, caption, type, owner);
    }
    bool Reported(uint32_t id) const { return m_ids.count(id) != 0; }

private:
    CStreamMessagePresenter m_stream{std::cerr};
    std::set<uint32_t> m_ids;
};

std::optional<unsigned> JobsOption(const CParsedArguments& parsed, int& status)
{
    const auto jobs = parsed.Value("jobs");
    if (!jobs) {
        return 1u;
    }
    const auto count = ParseCount(*jobs, 1, kMaxJobs);
    if (!count) {
        status = UsageError("--jobs takes a number from 1 to " + std::to_string(kMaxJobs));
    }
    return count;
}

} // namespace

int RunConvertCommand(const std::vector<std::string>& arguments, const SCommandContext& context)
{
    const std::vector<SOptionSpec> specs = {
        {'t', "to", true},          {'p', "preset", true},   {'q', "quality", true},
        {'o', "output", true},      {0, "overwrite", false}, {0, "delete-source", false},
        {'j', "jobs", true},        {0, "save-project", true}, {0, "no-convert", false},
        {0, "quiet", false},
    };
    CParsedArguments parsed;
    std::string error;
    if (!ParseArguments(arguments, specs, parsed, error)) {
        return UsageError(error);
    }
    if (parsed.Operands().empty()) {
        return UsageError("convert needs at least one source file");
    }
    int status = kExitSuccess;
    const auto jobs = JobsOption(parsed, status);
    if (!jobs) {
        return status;
    }
    const auto projectPath = parsed.Value("save-project");
    if (parsed.Has("no-convert") && !projectPath) {
        return UsageError("--no-convert needs --save-project FILE.cnv");
    }
    SDestinationChoice choice;
    if (!ChooseDestination(parsed, context, choice, status)) {
        return status;
    }
    const SOutputTarget target = ChooseOutputTarget(parsed.Value("output"), parsed.Operands().size());
    if (target.kind == EOutputKind::Folder) {
        std::error_code created;
        std::filesystem::create_directories(target.path, created);
        if (!std::filesystem::is_directory(target.path, created)) {
            PrintError("the output folder " + target.path + " cannot be created");
            return kExitUsage;
        }
    }

    CConversionProject project(context.libraries);
    std::size_t skipped = 0;
    for (const std::string& operand : parsed.Operands()) {
        const std::string path = AbsolutePath(operand);
        if (project.HasItemWithSource(path)) {
            continue;
        }
        auto item = std::make_unique<CProjectItem>();
        if (!item->CreateFromSource(path, true, context.libraries)) {
            ++skipped;
            continue;
        }
        project.AddItem(std::move(item));
    }

    std::vector<const CProjectItem*> toConvert;
    for (const auto& item : project.GetItems()) {
        CAudioFormat format;
        if (choice.format) {
            format = *choice.format;
        } else if (!ResolveFormatSpec(*choice.perSource, item->GetSourceFormat()->GetFormat(), format, error)) {
            PrintError("not converting " + item->GetSourcePath() + ": " + error);
            ++skipped;
            continue;
        }
        if (!item->SetDestinationFormat(choice.library, choice.highQuality, format)) {
            ReportError(IDE_CONVERSION_IMPOSSIBLE, nullptr, nullptr, item->GetSourcePath().c_str());
            ++skipped;
            continue;
        }
        item->SetDestinationPath(
            DestinationPath(target, item->GetSourcePath(), DestinationExtension(choice.library->GetExtension())));
        toConvert.push_back(item.get());
    }
    project.SetModified();

    if (projectPath && !project.Save(AbsolutePath(*projectPath))) {
        return kExitItemsFailed;
    }
    if (parsed.Has("no-convert")) {
        return skipped == 0 ? kExitSuccess : kExitItemsFailed;
    }
    return ConvertSelected(TakeRunSnapshot(toConvert), skipped, parsed, context, *jobs);
}

int RunProjectCommand(const std::vector<std::string>& arguments, const SCommandContext& context)
{
    const std::vector<SOptionSpec> specs = {
        {'j', "jobs", true}, {0, "quiet", false}, {0, "overwrite", false}, {0, "delete-source", false}};
    CParsedArguments parsed;
    std::string error;
    if (!ParseArguments(arguments, specs, parsed, error)) {
        return UsageError(error);
    }
    if (parsed.Operands().size() != 1) {
        return UsageError("run needs exactly one project file");
    }
    int status = kExitSuccess;
    const auto jobs = JobsOption(parsed, status);
    if (!jobs) {
        return status;
    }

    CConversionProject project(context.libraries);
    std::size_t skipped = 0;
    {
        CNotingPresenter presenter;
        if (!project.Open(AbsolutePath(parsed.Operands().front()))) {
            return kExitUsage;
        }
        if (presenter.Reported(IDE_INVALID_PROJECT_ITEMS_OPEN)) {
            ++skipped;
        }
    }
    std::vector<const CProjectItem*> items;
    for (const auto& item : project.GetItems()) {
        if (IsConvertible(*item)) {
            items.push_back(item.get());
        } else {
            PrintError("not converting " + item->GetSourcePath() + ": it has no destination");
            ++skipped;
        }
    }
    return ConvertSelected(TakeRunSnapshot(items), skipped, parsed, context, *jobs);
}
