// NetKit.dll end to end: loaded as the feedback dialog loads it, talking real HTTP through the
// platform's WinHTTP to a server of our own on 127.0.0.1.
// Winsock before anything that includes windows.h.
#include "tests/unit/netkit/loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "base/strings.h"
#include "tests/unit/netkit/gzip_oracle.h"
#include "tests/unit/netkit/netkit_library.h"

namespace netkit_test {
namespace {

using Behaviour = LoopbackServer::Behaviour;

std::string Answer(const std::string& statusLine, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + statusLine + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

class NetKitHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = &NetKitLibrary::Get();
    ASSERT_NE(lib_->module, nullptr) << "NetKit.dll in the program folder";
    ASSERT_TRUE(lib_->Complete());
    manager_ = lib_->httpInit();
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override {
    if (manager_) lib_->httpUninit();
  }
  // The last HttpUninit returns only when every request thread is done with its task: from then
  // on no callback can come.
  void Drain() {
    lib_->httpUninit();
    manager_ = lib_->httpInit();
  }
  // Starts a one-field form to the server and waits for its callback.
  Completion Exchange(const LoopbackServer& server, FormRequest form, const std::wstring& url = {}) {
    if (form.fields.empty()) form.fields = {{"type", "3"}};
    RecordingCallback callback;
    IHttpTask* task = MakeTask(manager_, form, &callback);
    EXPECT_NE(task, nullptr);
    if (!task) return {};
    EXPECT_NE(task->Start(kHttpPostForm, (url.empty() ? server.Url() : url).c_str()), 0);
    EXPECT_TRUE(callback.WaitForCall());
    task->Release();
    Drain();
    EXPECT_EQ(callback.Calls(), 1);
    return callback.Last();
  }

  const NetKitLibrary* lib_ = nullptr;
  IHttpManager* manager_ = nullptr;
};

// The feedback dialog's upload, call for call: both gzip options, the content type header, the
// five fields in order (the description in Chinese, as UTF-8), the callback, then start.
TEST_F(NetKitHttp, FeedbackFormArrivesByteForByteAndTheJsonAnswerReachesTheCallback) {
  const std::string json = "{\"errno\":0,\"msg\":\"\xE6\x94\xB6\xE5\x88\xB0\"}";
  const std::string gz = GzipForTest(json);
  LoopbackServer server(Behaviour::kAnswer,
                        Answer("200 OK", "Content-Type: application/json\r\nContent-Encoding: gzip\r\n", gz));
  ASSERT_TRUE(server.Listening());

  const std::string suggest = base::WideToUtf8(L"图片打不开 \"引号\"\r\n第二行 --QuellinForm");
  ASSERT_EQ(suggest.substr(0, 6), "\xE5\x9B\xBE\xE7\x89\x87");  // UTF-8, not a local code page
  FormRequest form;
  form.ungzip = true;
  form.gzip = true;
  form.headers = {{"Content-Type", "multipart/form-data"}};
  form.fields = {{"suggest", suggest},
                 {"email", "user@example.com"},
                 {"phone", "13800138000"},
                 {"type", "3"},
                 {"system", "Windows 10.0.19045"}};
  const Completion done = Exchange(server, form);

  EXPECT_EQ(done.state, kHttpTaskFinished);
  EXPECT_EQ(done.error, kHttpOk);
  EXPECT_EQ(done.status, 200);
  EXPECT_EQ(done.body, json);
  EXPECT_NE(done.threadId, ::GetCurrentThreadId());

  const std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const ReceivedRequest& r = requests[0];
  EXPECT_EQ(r.RequestLine(), "POST /live/intf/addFeedback HTTP/1.1");
  const std::vector<std::string> type = r.Headers("Content-Type");
  ASSERT_EQ(type.size(), 1u) << r.head;
  const std::string prefix = "multipart/form-data; boundary=";
  ASSERT_EQ(type[0].substr(0, prefix.size()), prefix);
  const std::string boundary = type[0].substr(prefix.size());
  EXPECT_GE(boundary.size(), 20u);
  EXPECT_LE(boundary.size(), 70u);
  EXPECT_EQ(r.Headers("Content-Encoding"), std::vector<std::string>{"gzip"});
  EXPECT_EQ(r.Headers("Accept-Encoding"), std::vector<std::string>{"gzip"});
  EXPECT_EQ(r.Headers("Content-Length"), std::vector<std::string>{std::to_string(r.body.size())});

  std::string expected;
  for (const auto& [name, value] : form.fields) {
    EXPECT_EQ(value.find(boundary), std::string::npos);
    expected += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
  }
  expected += "--" + boundary + "--\r\n";
  std::string body;
  ASSERT_TRUE(GunzipForTest(r.body, body));
  EXPECT_EQ(body, expected);
}

struct ServerCase {
  const char* name;
  Behaviour behaviour;
  std::string answer;
  FormRequest form;
  int state;
  int status;
  std::vector<int> errors;  // the acceptable ones; a failure may be told apart differently on Windows
  std::string body;
  std::wstring scheme = L"http";
};

// What each kind of answer, good or bad, makes of the task. Every one ends in exactly one callback.
TEST_F(NetKitHttp, EveryAnswerGoodOrBadEndsInOneCallbackWithItsOutcome) {
  const std::string big(5000, 'x');
  FormRequest capped;
  capped.options = {{"max_answer_bytes", "1000"}};
  FormRequest ungzip;
  ungzip.ungzip = true;
  FormRequest ungzipCapped = ungzip;
  ungzipCapped.options = {{"max_answer_bytes", "1048576"}};
  FormRequest quickReceive;
  quickReceive.options = {{"receive_timeout_ms", "300"}};
  FormRequest quickWhole;
  quickWhole.options = {{"total_timeout_ms", "500"}};

  const std::vector<ServerCase> cases = {
      {"json with status 200", Behaviour::kAnswer, Answer("200 OK", "", "{\"errno\":0}"), {},
       kHttpTaskFinished, 200, {kHttpOk}, "{\"errno\":0}"},
      {"a status other than 200 is an answer", Behaviour::kAnswer,
       Answer("500 Internal Server Error", "", "{\"errno\":1}"), {}, kHttpTaskFinished, 500, {kHttpOk},
       "{\"errno\":1}"},
      {"a redirect is reported, not followed", Behaviour::kAnswer,
       Answer("302 Found", "Location: http://127.0.0.1:9/elsewhere\r\n", ""), {}, kHttpTaskFinished, 302,
       {kHttpOk}, ""},
      {"chunked", Behaviour::kAnswer,
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n",
       {}, kHttpTaskFinished, 200, {kHttpOk}, "hello world"},
      {"ended by closing", Behaviour::kAnswer, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end", {},
       kHttpTaskFinished, 200, {kHttpOk}, "until the end"},
      {"cut short of its length", Behaviour::kAnswer,
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nonly this", {}, kHttpTaskFailed, 200,
       {kHttpErrorReceive}, ""},
      {"closed without an answer", Behaviour::kCloseWithoutAnswer, "", {}, kHttpTaskFailed, 0,
       {kHttpErrorReceive, kHttpErrorBadAnswer}, ""},
      {"not HTTP", Behaviour::kAnswer, "SSH-2.0-nonsense\r\n\r\n", {}, kHttpTaskFailed, 0,
       {kHttpErrorBadAnswer, kHttpErrorReceive}, ""},
      {"a length that is no number", Behaviour::kAnswer,
       "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\nConnection: close\r\n\r\n{}", {}, kHttpTaskFailed, 200,
       {kHttpErrorBadAnswer, kHttpErrorReceive}, ""},
      {"declared larger than the cap", Behaviour::kAnswer, Answer("200 OK", "", big), capped, kHttpTaskFailed, 200,
       {kHttpErrorTooLarge}, ""},
      {"growing past the cap", Behaviour::kAnswer, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big, capped,
       kHttpTaskFailed, 200, {kHttpErrorTooLarge}, ""},
      {"gzip that is not", Behaviour::kAnswer, Answer("200 OK", "Content-Encoding: gzip\r\n", "plain text"), ungzip,
       kHttpTaskFailed, 200, {kHttpErrorBadAnswer}, ""},
      {"gzip that unpacks past the cap", Behaviour::kAnswer,
       Answer("200 OK", "Content-Encoding: gzip\r\n", GzipForTest(std::string(16u << 20, '\0'))), ungzipCapped,
       kHttpTaskFailed, 200, {kHttpErrorTooLarge}, ""},
      {"an encoding not asked for", Behaviour::kAnswer, Answer("200 OK", "Content-Encoding: br\r\n", "xyz"), ungzip,
       kHttpTaskFailed, 200, {kHttpErrorBadAnswer}, ""},
      {"no answer within the receive timeout", Behaviour::kNeverAnswer, "", quickReceive, kHttpTaskFailed, 0,
       {kHttpErrorTimeout}, ""},
      {"no answer within the request's limit", Behaviour::kNeverAnswer, "", quickWhole, kHttpTaskFailed, 0,
       {kHttpErrorTimeout}, ""},
      {"https to a server without TLS", Behaviour::kAnswerAtOnce, Answer("400 Bad Request", "", ""), {},
       kHttpTaskFailed, 0, {kHttpErrorSecure, kHttpErrorConnect, kHttpErrorSend}, "", L"https"},
  };
  for (const ServerCase& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(c.behaviour, c.answer);
    ASSERT_TRUE(server.Listening());
    const Completion done = Exchange(server, c.form, server.Url(c.scheme));
    EXPECT_EQ(done.state, c.state);
    EXPECT_EQ(done.status, c.status);
    EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), done.error), c.errors.end()) << "error " << done.error << ", platform error " << done.platformError;
    EXPECT_EQ(done.body, c.body);
    EXPECT_LE(server.Connections(), 1);
  }
}

TEST_F(NetKitHttp, CancelEndsTheRequestAtOnceAndNoCallbackFollows) {
  LoopbackServer server(Behaviour::kNeverAnswer);
  ASSERT_TRUE(server.Listening());
  RecordingCallback callback;
  FormRequest form;
  form.fields = {{"type", "3"}};
  // Only the cancel can end this request within the test's life.
  form.options = {{"receive_timeout_ms", "3600000"}, {"total_timeout_ms", "3600000"}};
  IHttpTask* task = MakeTask(manager_, form, &callback);
  ASSERT_NE(task, nullptr);
  ASSERT_NE(task->Start(kHttpPostForm, server.Url().c_str()), 0);
  EXPECT_EQ(task->GetState(), kHttpTaskRunning);
  ASSERT_TRUE(server.WaitForRequest());

  task->Cancel();
  EXPECT_EQ(task->GetState(), kHttpTaskCancelled);
  EXPECT_EQ(task->GetError(), kHttpErrorCancelled);
  size_t size = 1;
  EXPECT_EQ(task->GetBody(&size), nullptr);
  EXPECT_EQ(size, 0u);
  // The request's thread ends now, not when an hour of timeouts has passed (Drain waits for it).
  // Windows also drops the connection at once; Wine 8 keeps it until its receive gives up.
  Drain();
  EXPECT_EQ(callback.Calls(), 0);
  task->Release();
}

// Release races the answer: whatever wins, a callback that has not begun when Release returns
// never comes, and none comes twice.
TEST_F(NetKitHttp, ReleaseAtAnyMomentIsTheLastWordOnCallbacks) {
  LoopbackServer quick(Behaviour::kAnswer, Answer("200 OK", "", "{}"));
  LoopbackServer silent(Behaviour::kNeverAnswer);
  ASSERT_TRUE(quick.Listening() && silent.Listening());
  std::vector<std::unique_ptr<RecordingCallback>> callbacks;
  std::vector<int> callsAtRelease;
  for (int i = 0; i < 40; ++i) {
    callbacks.push_back(std::make_unique<RecordingCallback>());
    FormRequest form;
    IHttpTask* task = MakeTask(manager_, form, callbacks.back().get());
    ASSERT_NE(task, nullptr);
    const LoopbackServer& server = i % 2 ? quick : silent;
    ASSERT_NE(task->Start(kHttpGet, server.Url().c_str()), 0);
    if (i % 4 == 1) ::Sleep(static_cast<DWORD>(i));  // let some answers arrive first
    task->Release();
    callsAtRelease.push_back(callbacks.back()->Calls());
  }
  Drain();
  for (size_t i = 0; i < callbacks.size(); ++i) {
    EXPECT_EQ(callbacks[i]->Calls(), callsAtRelease[i]) << "task " << i;
    EXPECT_LE(callbacks[i]->Calls(), 1) << "task " << i;
    if (i % 2 == 0) {
      EXPECT_EQ(callbacks[i]->Calls(), 0) << "task " << i;
    }
  }
}

LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    ++*reinterpret_cast<int*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return 1;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// The dialog's completion talks to its window; the window's thread may meanwhile be closing the
// dialog and releasing the task. Neither may wait for the other forever.
TEST_F(NetKitHttp, ReleaseServesAMessageThatTheRunningCallbackSendsToItsThread) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"NetKitTestWindow";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  int served = 0;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&served));

  LoopbackServer server(Behaviour::kAnswer, Answer("200 OK", "", "{}"));
  ASSERT_TRUE(server.Listening());
  HANDLE entered = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  RecordingCallback callback;
  callback.also = [&](IHttpTask*) {
    ::SetEvent(entered);
    ::SendMessageW(window, WM_APP, 0, 0);
  };
  IHttpTask* task = MakeTask(manager_, FormRequest{}, &callback);
  ASSERT_NE(task, nullptr);
  ASSERT_NE(task->Start(kHttpGet, server.Url().c_str()), 0);
  ASSERT_EQ(::WaitForSingleObject(entered, 30000), WAIT_OBJECT_0);
  task->Release();  // the callback is blocked in SendMessage to this very thread
  EXPECT_EQ(served, 1);
  EXPECT_TRUE(callback.WaitForCall());

  // A callback may also release its own task.
  RecordingCallback selfReleasing;
  selfReleasing.also = [](IHttpTask* t) { t->Release(); };
  IHttpTask* second = MakeTask(manager_, FormRequest{}, &selfReleasing);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second->Start(kHttpGet, server.Url().c_str()), 0);
  EXPECT_TRUE(selfReleasing.WaitForCall());
  Drain();
  EXPECT_EQ(selfReleasing.Calls(), 1);
  EXPECT_EQ(selfReleasing.Last().state, kHttpTaskFinished);
  ::DestroyWindow(window);
  ::CloseHandle(entered);
}

struct Refusal {
  const char* name;
  std::function<int(IHttpTask*, const std::wstring& url)> call;
  int error;
};

// Each refused call returns 0 and says why; nothing reaches the network and no callback comes.
TEST_F(NetKitHttp, BadRequestsAreRefusedBeforeAnythingIsSent) {
  LoopbackServer server(Behaviour::kAnswer, Answer("200 OK", "", "{}"));
  ASSERT_TRUE(server.Listening());
  const std::wstring port = std::to_wstring(server.Port());
  auto startAt = [](std::wstring url) {
    return [url](IHttpTask* t, const std::wstring&) { return t->Start(kHttpPostForm, url.c_str()); };
  };
  const std::vector<Refusal> cases = {
      {"plain http to another host", startAt(L"http://example.com/live/intf/addFeedback"), kHttpErrorRefusedUrl},
      {"credentials in the URL", startAt(L"http://user:pw@127.0.0.1:" + port + L"/"), kHttpErrorRefusedUrl},
      {"no URL", [](IHttpTask* t, const std::wstring&) { return t->Start(kHttpPostForm, nullptr); },
       kHttpErrorRefusedUrl},
      {"an unknown request kind", [](IHttpTask* t, const std::wstring& url) { return t->Start(3, url.c_str()); },
       kHttpErrorInvalidArgument},
      {"GET with form fields", [](IHttpTask* t, const std::wstring& url) { return t->Start(kHttpGet, url.c_str()); },
       kHttpErrorInvalidArgument},
      {"a form under another content type",
       [](IHttpTask* t, const std::wstring& url) {
         return t->AddHeader("Content-Type", "text/plain") ? t->Start(kHttpPostForm, url.c_str()) : -1;
       },
       kHttpErrorInvalidArgument},
      {"an unknown option", [](IHttpTask* t, const std::wstring&) { return t->SetOption("proxy", "1"); },
       kHttpErrorInvalidArgument},
      {"a switch set to a word", [](IHttpTask* t, const std::wstring&) { return t->SetOption("gzip", "yes"); },
       kHttpErrorInvalidArgument},
      {"a zero timeout", [](IHttpTask* t, const std::wstring&) { return t->SetOption("receive_timeout_ms", "0"); },
       kHttpErrorInvalidArgument},
      {"a cap beyond the limit",
       [](IHttpTask* t, const std::wstring&) { return t->SetOption("max_answer_bytes", "99999999999999999999"); },
       kHttpErrorInvalidArgument},
      {"a header the library writes",
       [](IHttpTask* t, const std::wstring&) { return t->AddHeader("content-length", "5"); },
       kHttpErrorInvalidArgument},
      {"a header smuggling another",
       [](IHttpTask* t, const std::wstring&) { return t->AddHeader("X-Note", "a\r\nX-Injected: 1"); },
       kHttpErrorInvalidArgument},
      {"a header name with a space", [](IHttpTask* t, const std::wstring&) { return t->AddHeader("X Note", "a"); },
       kHttpErrorInvalidArgument},
      {"a field name with a quote", [](IHttpTask* t, const std::wstring&) { return t->AddFormField("a\"b", "v"); },
       kHttpErrorInvalidArgument},
      {"a field without a value", [](IHttpTask* t, const std::wstring&) { return t->AddFormField("a", nullptr); },
       kHttpErrorInvalidArgument},
  };
  RecordingCallback callback;
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    IHttpTask* task = manager_->CreateTask();
    ASSERT_NE(task, nullptr);
    ASSERT_NE(task->AddFormField("type", "3"), 0);
    ASSERT_NE(task->SetCallback(&callback), 0);
    EXPECT_EQ(c.call(task, server.Url()), 0);
    EXPECT_EQ(task->GetError(), c.error);
    EXPECT_EQ(task->GetState(), kHttpTaskIdle);
    task->Release();
  }
  EXPECT_EQ(server.Connections(), 0);

  // Once started, a task takes no second start and no more settings.
  IHttpTask* task = MakeTask(manager_, FormRequest{}, &callback);
  ASSERT_NE(task, nullptr);
  ASSERT_NE(task->Start(kHttpGet, server.Url().c_str()), 0);
  EXPECT_EQ(task->Start(kHttpGet, server.Url().c_str()), 0);
  EXPECT_EQ(task->AddHeader("X-Late", "1"), 0);
  EXPECT_EQ(task->SetCallback(nullptr), 0);
  EXPECT_TRUE(callback.WaitForCall());
  task->Release();
  Drain();
  EXPECT_EQ(callback.Calls(), 1);
  EXPECT_EQ(server.Connections(), 1);
}

TEST_F(NetKitHttp, LastUninitCancelsEveryRunningTaskAndRefusesNewOnes) {
  LoopbackServer server(Behaviour::kNeverAnswer);
  ASSERT_TRUE(server.Listening());
  RecordingCallback callback;
  FormRequest form;
  form.options = {{"receive_timeout_ms", "3600000"}, {"total_timeout_ms", "3600000"}};
  IHttpTask* running = MakeTask(manager_, form, &callback);
  IHttpTask* idle = MakeTask(manager_, form, &callback);
  ASSERT_TRUE(running && idle);
  ASSERT_NE(running->Start(kHttpGet, server.Url().c_str()), 0);
  ASSERT_TRUE(server.WaitForRequest());

  IHttpManager* second = lib_->httpInit();  // a second user keeps the library open
  EXPECT_EQ(second, manager_);
  lib_->httpUninit();
  EXPECT_EQ(running->GetState(), kHttpTaskRunning);
  lib_->httpUninit();
  EXPECT_EQ(running->GetState(), kHttpTaskCancelled);
  EXPECT_EQ(callback.Calls(), 0);
  EXPECT_EQ(manager_->CreateTask(), nullptr);
  EXPECT_EQ(idle->Start(kHttpGet, server.Url().c_str()), 0);
  running->Release();
  idle->Release();
  manager_ = lib_->httpInit();
}

struct ZlibCase {
  const char* name;
  std::string input;
};

// The zlib exports round-trip any bytes, and on bad input or too little room they say so
// without writing past the room they were given.
TEST_F(NetKitHttp, ZlibExportsRoundTripAndStayWithinTheirBuffers) {
  const NetKitLibrary& z = *lib_;
  std::string random(100000, '\0');
  unsigned state = 12345;
  for (char& c : random) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  const std::vector<ZlibCase> cases = {{"empty", ""}, {"text", std::string(3000, 'a') + "end"}, {"random", random}};
  for (const ZlibCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto* source = reinterpret_cast<const unsigned char*>(c.input.data());
    const auto length = static_cast<unsigned long>(c.input.size());
    std::vector<unsigned char> packed(z.compressBound(length));
    unsigned long packedLength = static_cast<unsigned long>(packed.size());
    ASSERT_EQ(z.compress(packed.data(), &packedLength, source, length), 0);
    ASSERT_LE(packedLength, packed.size());

    std::vector<unsigned char> out(c.input.size() + 16, 0xEE);
    unsigned long outLength = length;
    ASSERT_EQ(z.uncompress(out.data(), &outLength, packed.data(), packedLength), 0);
    EXPECT_EQ(std::string(out.begin(), out.begin() + outLength), c.input);
    EXPECT_EQ(out[length], 0xEE);

    if (length > 0) {
      std::vector<unsigned char> small(length, 0xEE);
      small.resize(length + 16, 0xCC);
      unsigned long room = length - 1;
      EXPECT_EQ(z.uncompress(small.data(), &room, packed.data(), packedLength), -5);  // Z_BUF_ERROR
      EXPECT_EQ(small[length - 1], 0xEE);
      EXPECT_EQ(small[length], 0xCC);
      room = length;
      EXPECT_EQ(z.uncompress(small.data(), &room, packed.data(), packedLength - 1), -3);  // cut short: Z_DATA_ERROR
      room = 1;
      EXPECT_NE(z.compress(small.data(), &room, source, length), 0);
      EXPECT_EQ(small[length], 0xCC);
    }
    std::vector<unsigned char> broken = packed;
    broken[packedLength / 2] ^= 0x55;
    broken[0] ^= 0xFF;  // a header that is no zlib header
    outLength = length + 1;
    EXPECT_EQ(z.uncompress(out.data(), &outLength, broken.data(), packedLength), -3);
  }
  unsigned long room = 10;
  unsigned char byte = 0;
  EXPECT_EQ(z.uncompress(nullptr, &room, &byte, 1), -2);  // Z_STREAM_ERROR
  EXPECT_EQ(z.uncompress(&byte, nullptr, &byte, 1), -2);
  EXPECT_EQ(z.uncompress(&byte, &room, nullptr, 1), -2);
  EXPECT_EQ(z.compress(&byte, &room, nullptr, 5), -2);
  EXPECT_EQ(z.compressBound(0), 13u);
  EXPECT_GT(z.compressBound(1000), 1000u);
  EXPECT_EQ(z.compressBound(0xFFFFFFFFu), 0u);  // the bound would not fit
}

}  // namespace
}  // namespace netkit_test
