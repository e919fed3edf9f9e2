#!/bin/sh
# Makes a program's manual page from its own --help and --version with
# help2man, adding the sections in INCLUDE (what the help does not say: a
# description, files, exit status).
# Usage: manpage.sh HELP2MAN PROGRAM SUMMARY INCLUDE OUT
#
# help2man takes the synopsis from a "Usage:" paragraph whose further forms
# start with "or:". Our programs print "usage:", with further forms indented
# and long forms wrapped over indented "[...]" lines, so the program is run
# through a wrapper of its own name that rewrites that paragraph so; the rest
# of the help passes through unchanged.
set -eu
help2man=$1 program=$2 summary=$3 include=$4 out=$5
name=$(basename "$program")
wrap=$(mktemp -d)
trap 'rm -rf "$wrap"' EXIT
cat >"$wrap/$name" <<WRAPPER
#!/bin/bash
set -o pipefail
"$program" "\$@" | awk '
  NR == 1 { sub(/^usage:/, "Usage:"); line = \$0; next }
  line != "" && /^ +\\[/ { sub(/^ +/, " "); line = line \$0; next }
  line != "" && /^ +$name / { print line; sub(/^ +/, "   or: "); line = \$0; next }
  { if (line != "") print line; line = ""; print }
  END { if (line != "") print line }'
WRAPPER
chmod +x "$wrap/$name"
"$help2man" --no-info --section=1 --name="$summary" --include="$include" \
  --output="$out" "$wrap/$name"
