// CFakeProxySource: a CSystemProxySource whose settings and script answers a test sets, for the
// discovering chooser's tests. Every script ask is recorded as "pac", "detect", with "+logon"
// when it allowed a logon. Asks may be held: they block until Release (or a bound of
// kHoldBound), standing in for a PAC download that never ends. The discovery thread calls
// AutoProxy while the test reads the record, so everything is guarded.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/proxy/system_proxy_source.h"

class CFakeProxySource : public CSystemProxySource {
public:
    static constexpr std::chrono::seconds kHoldBound{30};

    std::optional<CUserProxySetting> user;
    CMachineProxySetting machine;
    bool machineReadable = true;
    CAutoProxyAnswer pac, pacLogon, detect, detectLogon;
    bool hold = false;

    bool UserSetting(CUserProxySetting& setting) override {
        if (user) {
            setting = *user;
        }
        return user.has_value();
    }
    bool MachineSetting(CMachineProxySetting& setting) override {
        ++machineReads_;
        setting = machine;
        return machineReadable;
    }
    CAutoProxyAnswer AutoProxy(const CAutoProxyRequest& request) override {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool script = !request.pacUrl.empty();
        asks_.push_back(std::string(script ? "pac" : "detect") + (request.autoLogon ? "+logon" : ""));
        urls_.push_back(request.url);
        changed_.notify_all();
        if (hold) {
            changed_.wait_for(lock, kHoldBound, [this] { return released_; });
        }
        ++answered_;
        changed_.notify_all();
        if (script) {
            return request.autoLogon ? pacLogon : pac;
        }
        return request.autoLogon ? detectLogon : detect;
    }

    // The asks so far, separated by blanks.
    std::string Asks() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::string text;
        for (const std::string& ask : asks_) {
            text += (text.empty() ? "" : " ") + ask;
        }
        return text;
    }
    std::vector<WideString> Urls() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return urls_;
    }
    int MachineReads() const { return machineReads_; }

    void Release() {
        const std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    // Waits until count asks have returned; false when that takes longer than timeout.
    bool WaitAnswered(int count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return answered_ >= count; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> asks_;
    std::vector<WideString> urls_;
    bool released_ = false;
    int answered_ = 0;
    int machineReads_ = 0;
};
