# What a user would otherwise write for egn-digit's common case: read the
# numbers a line at a time, compute the control digit, print the number and
# the whole ten-digit number. The yardstick of bench/egn_digit.sh.
import sys

WEIGHTS = (2, 4, 8, 5, 10, 9, 7, 3, 6)

for line in sys.stdin:
    number = line.strip()
    if not number:
        continue
    remainder = sum(int(d) * w for d, w in zip(number, WEIGHTS)) % 11
    print(f"{number}\t{number}{remainder % 10}")
