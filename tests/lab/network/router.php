<?php
// tests/lab/network/router.php: the operator's results server in the lab, for PHP's built-in server:
// the public-address answer, the download file, the upload inbox and the speed-test page.
//
// LAB_CLIENT_IP: the address "/ip/" reports in its Client-IP-Address line (none when empty).
// LAB_INBOX:     the folder where each upload's file and a description of it are stored.

$path = parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH);
$query = parse_url($_SERVER['REQUEST_URI'], PHP_URL_QUERY);

if ($path === '/ip/') {
    $address = getenv('LAB_CLIENT_IP');
    if ($address !== false && $address !== '') {
        header('Client-IP-Address: ' . $address);
    }
    header('Content-Type: text/plain');
    echo "public address\n";
    return true;
}

if ($path === '/10mb.bin') {
    header('Content-Type: application/octet-stream');
    header('Content-Length: ' . (10 * 1024 * 1024));
    $block = str_repeat("\0", 64 * 1024);
    for ($sent = 0; $sent < 160; ++$sent) {
        echo $block;
    }
    return true;
}

if ($path === '/lumnettestresult.php') {
    $inbox = getenv('LAB_INBOX');
    if (!isset($_FILES['userfile']) || $_FILES['userfile']['error'] !== UPLOAD_ERR_OK) {
        http_response_code(400);
        echo "no userfile\n";
        return true;
    }
    $file = $_FILES['userfile'];
    $stored = $inbox . '/' . basename($file['name']);
    move_uploaded_file($file['tmp_name'], $stored);
    file_put_contents($stored . '.received',
        'name=' . $file['name'] . "\n" .
        'type=' . $file['type'] . "\n" .
        'size=' . $file['size'] . "\n" .
        'time=' . date('Y-m-d H:i:s') . "\n");
    echo "Thank you\n";
    return true;
}

if ($path === '/' && $query === 'lumnettest') {
    header('Content-Type: text/html');
    echo "<!doctype html><title>Lumora speed test</title><h1>Lumora speed test</h1>\n";
    return true;
}

http_response_code(404);
echo "not found\n";
return true;
