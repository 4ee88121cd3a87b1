! Reads, with CONVERT='BIG_ENDIAN', a sequential and a direct-access file
! that the layer wrote, and checks every value. Prints OK when all match;
! otherwise names each mismatch and stops with status 1.
program unf_peer_read
  implicit none
  character(len=512) :: seq_path, dir_path
  character(len=8) :: tag
  integer(4) :: ivals(4), n, i, k, bad
  real(8) :: dvals(3), big(1000), d
  real(4) :: r
  integer, parameter :: written(3) = [5, 1, 2]

  bad = 0
  call get_command_argument(1, seq_path)
  call get_command_argument(2, dir_path)

  open(10, file=trim(seq_path), form='unformatted', access='sequential', &
       status='old', convert='big_endian')
  read(10) tag, ivals, dvals
  call check(tag == 'HEADER01', 'tag')
  call check(all(ivals == [1, -2, 3, 2147483647]), 'integers')
  call check(all(dvals == [1.0d0, -2.5d0, 1.0d-300]), 'reals')
  read(10) big, n
  do i = 1, 1000
    call check(big(i) == i * 0.5d0, 'long record')
  end do
  call check(n == 1000, 'item after the long one')
  read(10)
  read(10) n
  call check(n == 7, 'record after the empty one')
  close(10)

  ! Records 5, 1 and 2 hold (record number, real, double); 3 and 4 are
  ! the zero-filled gap.
  open(11, file=trim(dir_path), form='unformatted', access='direct', &
       recl=16, status='old', convert='big_endian')
  do k = 1, 5
    read(11, rec=k) i, r, d
    if (any(written == k)) then
      call check(i == k .and. r == k * 1.5 .and. d == k * 0.25d0, 'record')
    else
      call check(i == 0 .and. r == 0.0 .and. d == 0.0d0, 'gap record')
    end if
  end do
  close(11)

  if (bad /= 0) stop 1
  print '(a)', 'OK'

contains

  subroutine check(ok, what)
    logical, intent(in) :: ok
    character(len=*), intent(in) :: what
    if (.not. ok) then
      bad = bad + 1
      print '(2a)', 'mismatch: ', what
    end if
  end subroutine check

end program unf_peer_read
