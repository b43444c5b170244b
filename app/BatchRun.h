// The batch command's run once its options are taken, in steps: the inputs read, resolved into
// a RunSpec, run through the pipeline and written (BatchCommand.cpp). For the command's own units.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/BatchCommand.h"
#include "app/BatchOptions.h"
#include "app/BatchOutput.h"
#include "app/MessageLanguage.h"
#include "files/RunParameters.h"
#include "run/RunSpec.h"

namespace velmora {

// Where the messages go: errors always, warnings and notes unless quiet, each in the language
// asked for.
struct Console {
    std::ostream& err;
    const MessageLanguage& language;
    bool quiet = false;
    void Error(const std::string& text) const { err << "velmora1-batch: " << text << "\n"; }
    void Error(const UserMessage& m) const { Error(language.Text(m)); }
    void Error(const std::exception& e) const {
        if (const auto* m = dynamic_cast<const MessageError*>(&e)) Error(m->Message());
        else Error(std::string(e.what()));
    }
    void Warning(const std::string& text) const {
        if (!quiet) err << "velmora1-batch: warning: " << text << "\n";
    }
    void Note(const std::string& text) const {
        if (!quiet) err << "velmora1-batch: " << text << "\n";
    }
};

// The files the run will write, with the options that name them.
std::vector<OutputName> OutputNames(const BatchOptions& o, bool mono);

// One command's work once its options are taken: the inputs read, resolved into a RunSpec, run
// through the pipeline and written. Each step returns `proceed` to go on, or the command's status.
class BatchRun {
public:
    static constexpr int proceed = -1;

    BatchRun(const BatchOptions& options, const Console& console, std::ostream& out, std::ostream& err,
             const BatchEnvironment& env)
        : o(options), console(console), out(out), err(err), env(env) {}

    // The run's inputs: the factory values, a parameter file or the parameters of a report,
    // then what the command line says; every output name checked.
    int ReadInputs();
    // The inputs as the run takes them: the tables, the sky and the camera, the filter and mask
    // read (a load selects its density kind, as the menu commands do).
    int Resolve();
    // The pipeline, the measurements the outputs need, the outputs.
    int RunAndWrite();

private:
    int Usage(const std::string& text) const {
        err << "velmora1-batch: " << text << "\n" << batchHelpPointer;
        return 2;
    }

    const BatchOptions& o;
    const Console& console;
    std::ostream& out;
    std::ostream& err;
    const BatchEnvironment& env;
    RunParameters run;
    std::vector<int> tableLines;  // of the wavelength table's rows, for its messages
    RunSpec runSpec;
};

}  // namespace velmora
