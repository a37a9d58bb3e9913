// An HTTP server on loopback that runs on the test's own event loop, so that its reply is ready
// the moment the client looks and virtual time never overtakes it. The first path segment
// picks what it does, the last names the file it serves (from `files`, else DefaultBody());
// connections stay open after a reply, as a keep-alive server's do.
//   ok        200 with Content-Length; for "Range: bytes=N-" 206 with the rest from N, or 416
//             when nothing is left; the whole file when an If-Range names another ETag
//             (Tag: each file's own)
//   badrange  as ok, but its 206 carries the whole body, as if it were the rest
//   redirect  302 to /ok/ and the same name, relative and with a fragment
//   notfound  404 with a page
//   cut       half the body, then the close    stall     half the body, then nothing
#pragma once

#include "VersionFiles.h"
#include "framework/AsyncSocket.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class LoopbackHttpServer {
  public:
    std::map<std::string, std::string> files;
    std::vector<std::string> requests; // each request's header, in arrival order

    static std::string Tag(const std::string& body) {
        return "\"" + std::to_string(std::hash<std::string>{}(body)) + "\"";
    }
    // 60000 bytes of a program for this system.
    static std::string DefaultBody() {
        std::string body = test::NativeProgramHead();
        body.resize(60000, 'p');
        return body;
    }

    bool Start() {
        m_listener.server = this;
        return m_listener.Create(0, SOCK_STREAM_TYPE) && m_listener.Listen();
    }
    std::string Url(const std::string& scenario) const {
        return "http://127.0.0.1:" + std::to_string(m_listener.GetLocalPort()) + "/" + scenario +
               "/";
    }
    // The request lines received, without " HTTP/1.1".
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const std::string& request : requests)
            targets.push_back(request.substr(0, request.find(" HTTP/")));
        return targets;
    }

  private:
    // The bytes that answer `target`, and whether the connection closes after them.
    std::string Reply(const std::string& request, const std::string& target, bool& close) {
        const std::string path = target.substr(1);
        const std::string scenario = path.substr(0, path.find('/'));
        const std::string name = path.substr(path.rfind('/') + 1);
        const auto file = files.find(name);
        const std::string body = file != files.end() ? file->second : DefaultBody();
        const std::string length = "ETag: " + Tag(body) +
                                   "\r\nContent-Length: " + std::to_string(body.size()) +
                                   "\r\n\r\n";
        close = scenario == "cut";
        const std::string asking = "\r\nRange: bytes=";
        const size_t range = request.find(asking);
        const std::string naming = "\r\nIf-Range: ";
        const size_t ifRange = request.find(naming);
        const bool sameFile =
            ifRange == std::string::npos ||
            request.compare(ifRange + naming.size(), Tag(body).size() + 2, Tag(body) + "\r\n") == 0;
        if ((scenario == "ok" || scenario == "badrange") && range != std::string::npos &&
            sameFile) {
            const size_t asked = std::stoul(request.substr(range + asking.size()));
            const std::string total = "/" + std::to_string(body.size()) + "\r\n";
            if (asked >= body.size())
                return "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes *" + total +
                       "Content-Length: 0\r\n\r\n";
            const size_t from = scenario == "ok" ? asked : 0;
            return "HTTP/1.1 206 Partial Content\r\nETag: " + Tag(body) +
                   "\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                   std::to_string(body.size() - 1) + total +
                   "Content-Length: " + std::to_string(body.size() - from) + "\r\n\r\n" +
                   body.substr(from);
        }
        if (scenario == "ok" || scenario == "badrange")
            return "HTTP/1.1 200 OK\r\n" + length + body;
        if (scenario == "cut" || scenario == "stall")
            return "HTTP/1.1 200 OK\r\n" + length + body.substr(0, body.size() / 2);
        if (scenario == "redirect")
            return "HTTP/1.1 302 Found\r\nLocation: ../ok/" + name +
                   "#part\r\nContent-Length: 0\r\n\r\n";
        return "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found";
    }

    struct Peer : CAsyncSocket {
        LoopbackHttpServer* server = nullptr;
        std::string in, out;
        bool closeAfter = false;
        void OnReceive(int) override {
            char block[4096];
            const int count = Receive(block, sizeof block);
            if (count <= 0)
                return;
            in.append(block, static_cast<size_t>(count));
            const size_t end = in.find("\r\n\r\n");
            if (end == std::string::npos)
                return;
            const std::string request = in.substr(0, end + 4);
            in.erase(0, end + 4);
            server->requests.push_back(request);
            const size_t targetStart = request.find(' ') + 1;
            out += server->Reply(
                request, request.substr(targetStart, request.find(' ', targetStart) - targetStart),
                closeAfter);
            OnSend(0);
        }
        void OnSend(int) override {
            while (!out.empty()) {
                const int sent = Send(out.data(), static_cast<int>(out.size()));
                if (sent <= 0)
                    return;
                out.erase(0, static_cast<size_t>(sent));
            }
            if (closeAfter)
                Close();
        }
    };
    struct Listener : CAsyncSocket {
        LoopbackHttpServer* server = nullptr;
        void OnAccept(int) override {
            auto peer = std::make_unique<Peer>();
            peer->server = server;
            if (Accept(*peer))
                server->m_peers.push_back(std::move(peer));
        }
    };
    Listener m_listener;
    std::vector<std::unique_ptr<Peer>> m_peers;
};
