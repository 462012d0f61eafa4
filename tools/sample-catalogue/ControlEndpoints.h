#pragma once

namespace samplecatalogue {

class FaultInjector;
class ReplyShapes;
class RequestLog;
class Router;

// "/__control/...": lets a test that runs the server as a child process set faults and read the
// request log, as in-process tests do through SampleCatalogue.
//   POST /__control/fault          {"path", "status", "delay_ms", "cut_short", "invalid_json", "times"}
//   POST /__control/clear-faults
//   GET  /__control/requests?path=P  → {"count", "last": {"method", "path", "query", "headers", "body"} or null}
//   POST /__control/clear-requests
//   POST /__control/reply-shape    {"path", "shape"} (an empty shape goes back to the usual one)
class ControlEndpoints {
public:
    static void install(Router& router, FaultInjector& faults, RequestLog& log, ReplyShapes& shapes);
};

} // namespace samplecatalogue
