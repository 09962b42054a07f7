# Turns a program's --help text into the body of a manual page: the usage line with the
# program's name (prog), "Heading:" lines as subsections, indented blocks as they stand,
# other lines as filled paragraphs.
function esc(s) {
    gsub(/\\/, "\\e", s)
    gsub(/-/, "\\-", s)
    if (s ~ /^[.']/)
        s = "\\&" s
    return s
}
function endblock() {
    if (nofill) {
        print ".fi"
        nofill = 0
    }
}
/^$/ {
    endblock()
    para = 0
    next
}
/^Usage: / {
    endblock()
    sub(/^Usage: [^ ]+/, "Usage: " prog)
    print ".PP"
    print esc($0)
    para = 0
    next
}
/^[A-Z][A-Za-z ]*:$/ {
    endblock()
    sub(/:$/, "")
    print ".SS " esc($0)
    para = 0
    next
}
/^ / {
    if (!nofill) {
        print ".PP"
        print ".nf"
        nofill = 1
    }
    print esc($0)
    next
}
{
    endblock()
    if (!para)
        print ".PP"
    para = 1
    print esc($0)
}
END {
    endblock()
}
