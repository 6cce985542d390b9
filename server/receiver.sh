#!/usr/bin/env bash
# Starts the reference upload receiver in the foreground: PHP's built-in server answering
# POST /scripts/uploadUserLog.php and storing each upload in <upload folder>.
#   server/receiver.sh <upload folder> [address:port]     (default 127.0.0.1:0, any free port)
# The server announces the address it listens on in its first line of output, e.g.
# "... Development Server (http://127.0.0.1:34027) started". Size limits are raised so that
# large logs pass; PHP's temporary upload files stay inside <upload folder>/.incoming.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
folder=${1:?usage: receiver.sh <upload folder> [address:port]}
listen=${2:-127.0.0.1:0}
mkdir -p "$folder/.incoming"
folder=$(cd "$folder" && pwd)

OMBRIX_UPLOAD_DIR=$folder exec php \
  -d upload_max_filesize=2G -d post_max_size=2G -d max_file_uploads=1 \
  -d memory_limit=-1 -d upload_tmp_dir="$folder/.incoming" -d file_uploads=1 \
  -d display_errors=stderr -d log_errors=0 \
  -S "$listen" -t "$here/public"
