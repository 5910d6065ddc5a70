#pragma once

#include <filesystem>

namespace parlomar::standin {

// Makes a self-signed certificate (P-256 key, CN localhost, subjectAltName DNS:localhost and
// IP:127.0.0.1, valid for ten years) and writes it and its key as PEM files, each atomically
// (the key readable by its owner only). Throws std::runtime_error on failure.
void GenerateCertificate(const std::filesystem::path& certFile, const std::filesystem::path& keyFile);

// Generates the pair only when either file is missing; returns whether it generated.
bool EnsureCertificate(const std::filesystem::path& certFile, const std::filesystem::path& keyFile);

} // namespace parlomar::standin
