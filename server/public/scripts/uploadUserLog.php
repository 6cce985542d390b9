<?php
// Reference receiver of the log sender's uploads, served by PHP's built-in server at
// /scripts/uploadUserLog.php (see server/receiver.sh). It stores the "file" part of a
// multipart/form-data POST in the folder named by OMBRIX_UPLOAD_DIR, under the part's file
// name made safe, and answers 200 with the stored name; a request without a usable file
// part gets 400. Nothing is ever written outside that folder: separators, "..", control
// characters and leading dots are taken out of the name, an existing entry (a link
// included) is never overwritten, and PHP's own temporary files go to its .incoming folder.

function answer(int $status, string $text): void
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=utf-8');
    echo $text, "\n";
    exit;
}

// The part's file name reduced to one harmless entry name of the folder.
function safe_name(string $name): string
{
    $name = preg_replace('#^.*[/\\\\]#s', '', $name);
    $name = preg_replace('/[\x00-\x1F\x7F]/', '_', $name);
    while (strpos($name, '..') !== false) {
        $name = str_replace('..', '_', $name);
    }
    $name = preg_replace('/^\./', '_', $name);
    if (strlen($name) > 200) {
        $name = substr($name, 0, 200);
    }
    return $name === '' ? 'upload' : $name;
}

// The first of name, name.1, name.2, ... that names nothing in the folder yet.
function free_path(string $folder, string $name): ?string
{
    for ($i = 0; $i < 1000; $i++) {
        $path = $folder . '/' . ($i === 0 ? $name : $name . '.' . $i);
        if (!file_exists($path) && !is_link($path)) {
            return $path;
        }
    }
    return null;
}

$folder = getenv('OMBRIX_UPLOAD_DIR');
if ($folder === false || $folder === '' || !is_dir($folder)) {
    answer(500, 'no upload folder');
}
$folder = realpath($folder);

$file = $_FILES['file'] ?? null;
if ($_SERVER['REQUEST_METHOD'] !== 'POST' || !is_array($file) || !is_string($file['name'] ?? null)
    || ($file['error'] ?? UPLOAD_ERR_NO_FILE) !== UPLOAD_ERR_OK
    || !is_uploaded_file($file['tmp_name'])) {
    answer(400, 'no file part');
}

$path = free_path($folder, safe_name($file['name']));
if ($path === null || !move_uploaded_file($file['tmp_name'], $path)) {
    answer(500, 'not stored');
}
answer(200, 'stored ' . basename($path) . ' ' . filesize($path));
