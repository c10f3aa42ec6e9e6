#include "design/CaptureImport.h"

CaptureImport readAndAnalyzeCapture(const std::string& path, const CaptureOptions& options,
                                    const CaptureRequest& request, const CaptureReader& read)
{
    CaptureImport done{read(path, options), Outcome<CaptureAnalysis>::failure({})};
    done.analysis = done.reading.capture ? analyzeCapture(*done.reading.capture, request)
                                         : Outcome<CaptureAnalysis>::failure(done.reading.error);
    done.reading.capture.reset();  // analysed: its samples are done with
    return done;
}
