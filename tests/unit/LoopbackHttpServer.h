// An HTTP server on the test's own event loop, so that virtual time never overtakes its reply;
// connections stay open after a reply, as a keep-alive server's do.
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
    std::map<std::string, std::string> files; // by name; any other name: DefaultBody()
    std::vector<std::string> requests;        // each request's header, in arrival order

    static std::string Tag(const std::string& body) {
        return "\"" + std::to_string(std::hash<std::string>{}(body)) + "\"";
    }
    // 60000 bytes of a program for this system, in which a piece put at the wrong place shows.
    static std::string DefaultBody() {
        std::string body = test::NativeProgramHead();
        for (size_t i = body.size(); i < 60000; ++i)
            body += static_cast<char>('a' + i % 23);
        return body;
    }

    bool Start() {
        m_listener.server = this;
        return m_listener.Create(0, SOCK_STREAM_TYPE) && m_listener.Listen();
    }
    // The URL of a folder whose files are served as `scenario` says (see Reply).
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
    // The reply to a request for /scenario/.../name, and whether the connection closes after it:
    //   ok        the file with its ETag; for "Range: bytes=N-" 206 with the rest from N (the
    //             whole file when an If-Range names another tag), or 416 when nothing is left
    //   badrange  as ok, but its 206 carries the whole body, as if it were the rest
    //   redirect  302 to ../ok/name, relative and with a fragment
    //   cut       half the body, then the close    stall   half the body, then nothing
    //   other     404 with a page
    std::string Reply(const std::string& request, bool& close) {
        const size_t targetAt = request.find(' ') + 1;
        const std::string path =
            request.substr(targetAt + 1, request.find(' ', targetAt) - targetAt - 1);
        const std::string scenario = path.substr(0, path.find('/'));
        const std::string name = path.substr(path.rfind('/') + 1);
        const auto file = files.find(name);
        const std::string body = file != files.end() ? file->second : DefaultBody();
        const std::string tag = Tag(body), size = std::to_string(body.size());
        close = scenario == "cut";
        const size_t range = request.find("\r\nRange: bytes="),
                     ifRange = request.find("\r\nIf-Range: ");
        const bool sameFile = ifRange == std::string::npos ||
                              request.compare(ifRange + 12, tag.size() + 2, tag + "\r\n") == 0;
        if ((scenario == "ok" || scenario == "badrange") && range != std::string::npos &&
            sameFile) {
            const size_t asked = std::stoul(request.substr(range + 15));
            if (asked >= body.size())
                return "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + size +
                       "\r\nContent-Length: 0\r\n\r\n";
            const size_t from = scenario == "ok" ? asked : 0;
            return "HTTP/1.1 206 Partial Content\r\nETag: " + tag + "\r\nContent-Range: bytes " +
                   std::to_string(from) + "-" + std::to_string(body.size() - 1) + "/" + size +
                   "\r\nContent-Length: " + std::to_string(body.size() - from) + "\r\n\r\n" +
                   body.substr(from);
        }
        const std::string whole =
            "HTTP/1.1 200 OK\r\nETag: " + tag + "\r\nContent-Length: " + size + "\r\n\r\n";
        if (scenario == "ok" || scenario == "badrange")
            return whole + body;
        if (scenario == "cut" || scenario == "stall")
            return whole + body.substr(0, body.size() / 2);
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
            for (size_t end; (end = in.find("\r\n\r\n")) != std::string::npos;
                 in.erase(0, end + 4)) {
                server->requests.push_back(in.substr(0, end + 4));
                out += server->Reply(server->requests.back(), closeAfter);
            }
            OnSend(0);
        }
        void OnSend(int) override {
            for (int sent;
                 !out.empty() && (sent = Send(out.data(), static_cast<int>(out.size()))) > 0;)
                out.erase(0, static_cast<size_t>(sent));
            if (out.empty() && closeAfter)
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
